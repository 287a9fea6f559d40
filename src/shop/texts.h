#pragma once
// The shop workflows' own texts as GBK bytes: log lines, message boxes, reply literals, the
// fixed pieces of the requests.

#include <string_view>

#include "text/gbk_literal.h"

namespace quillmere::shop::texts {

// Log lines.
inline constexpr std::string_view kLoginSucceeded = "登陆成功\r\n"_gbk;
inline constexpr std::string_view kLoginFailed = "登陆失败\r\n"_gbk;
// The token was renewed with the remembered login, or could not be.
inline constexpr std::string_view kRenewalSucceeded = "自动重新登陆成功\r\n"_gbk;
inline constexpr std::string_view kRenewalFailed = "自动重新登陆失败\r\n"_gbk;
// Follows the order date text.
inline constexpr std::string_view kNoOrdersYet = "暂时还没有订单\r\n"_gbk;
// "成功获取", the order date text, "订单\r\n".
inline constexpr std::string_view kFetchedPrefix = "成功获取"_gbk;
inline constexpr std::string_view kFetchedSuffix = "订单\r\n"_gbk;
// "获取", the order date text, "订单失败：", the reason, "\r\n".
inline constexpr std::string_view kFetchFailedPrefix = "获取"_gbk;
inline constexpr std::string_view kFetchFailedMiddle = "订单失败："_gbk;
// "订单", the order id, "详情获取失败：", the reason, "\r\n".
inline constexpr std::string_view kDetailFailedPrefix = "订单"_gbk;
inline constexpr std::string_view kDetailFailedMiddle = "详情获取失败："_gbk;
// Followed by the reason and "\r\n".
inline constexpr std::string_view kMonitoringFailedPrefix = "监控：获取订单失败："_gbk;
inline constexpr std::string_view kMonitoringRecovered = "监控：已恢复\r\n"_gbk;
// Reasons of the failure lines when the reply gives none.
inline constexpr std::string_view kUnrecognisedReply = "无法识别的回复"_gbk;
inline constexpr std::string_view kCannotReachPlatform = "无法连接微店平台"_gbk;
inline constexpr std::string_view kNewOrders = "您有新的订单\r\n"_gbk;
inline constexpr std::string_view kMonitoringStarted = "开始监控\r\n"_gbk;
inline constexpr std::string_view kMonitoringStopped = "停止监控\r\n"_gbk;
inline constexpr std::string_view kDeliverySucceeded = "发货成功\r\n"_gbk;
inline constexpr std::string_view kDeliveryFailed = "发货失败\r\n"_gbk;
// Followed by the system's reason and "\r\n".
inline constexpr std::string_view kRecordWriteFailed = "发货记录写入失败："_gbk;

// Message boxes (all with flags kMessageOk).
inline constexpr std::string_view kPleaseLogIn = "请登陆微店API,在获取订单"_gbk;
inline constexpr std::string_view kChooseOrder = "请选择要发货的订单"_gbk;
inline constexpr std::string_view kEnterTrackingNumber = "请输入快递单号"_gbk;

// Cells.
inline constexpr std::string_view kPaid = "已付款"_gbk;
inline constexpr std::string_view kDeliveredCell = "发货成功"_gbk;

// The record file beside the program, one line per delivery.
inline constexpr std::string_view kRecordFileName = "发货记录.txt"_gbk;

// Fixed pieces of the delivery requests.
inline constexpr std::string_view kCustomExpress = "自定义快递公司"_gbk;
inline constexpr std::string_view kNoLogisticsTrackingNumber = "1234566789";

// Reply literals, each tested as an exact substring.
inline constexpr std::string_view kEmptyDayReply =
    "{\"status\":{\"status_code\":0,\"status_reason\":\"\"},\"result\":[]}";
// Begins with a line feed; a space precedes the reason's closing quote.
inline constexpr std::string_view kMissingTokenReply =
    "\n{\"status\":{\"status_code\":10007,\"status_reason\":\""
    "参数错误，请参考API文档(参数:`access_token`不能为空) \"}}"_gbk;
inline constexpr std::string_view kDeliveryAcceptedReply =
    "{\"result\":\"\",\"status\":{\"status_code\":0,\"status_reason\":\"success\"}}";

}  // namespace quillmere::shop::texts
