#pragma once
// The shop workflows' own texts as GBK bytes: log lines, message boxes, reply literals, the
// fixed pieces of the requests. Readable text beside each.

#include <string_view>

namespace quillmere::shop::texts {

// Log lines.
inline constexpr std::string_view kLoginSucceeded = "\xb5\xc7\xc2\xbd\xb3\xc9\xb9\xa6\r\n";  // 登陆成功\r\n
inline constexpr std::string_view kLoginFailed = "\xb5\xc7\xc2\xbd\xca\xa7\xb0\xdc\r\n";     // 登陆失败\r\n
// Follows the order date text.
inline constexpr std::string_view kNoOrdersYet =
    "\xd4\xdd\xca\xb1\xbb\xb9\xc3\xbb\xd3\xd0\xb6\xa9\xb5\xa5\r\n";  // 暂时还没有订单\r\n
// "成功获取", the order date text, "订单\r\n".
inline constexpr std::string_view kFetchedPrefix = "\xb3\xc9\xb9\xa6\xbb\xf1\xc8\xa1";  // 成功获取
inline constexpr std::string_view kFetchedSuffix = "\xb6\xa9\xb5\xa5\r\n";              // 订单\r\n
// "获取", the order date text, "订单失败：", the reason, "\r\n".
inline constexpr std::string_view kFetchFailedPrefix = "\xbb\xf1\xc8\xa1";  // 获取
inline constexpr std::string_view kFetchFailedMiddle =
    "\xb6\xa9\xb5\xa5\xca\xa7\xb0\xdc\xa3\xba";  // 订单失败：
// "订单", the order id, "详情获取失败：", the reason, "\r\n".
inline constexpr std::string_view kDetailFailedPrefix = "\xb6\xa9\xb5\xa5";  // 订单
inline constexpr std::string_view kDetailFailedMiddle =
    "\xcf\xea\xc7\xe9\xbb\xf1\xc8\xa1\xca\xa7\xb0\xdc\xa3\xba";  // 详情获取失败：
// Followed by the reason and "\r\n".
inline constexpr std::string_view kMonitoringFailedPrefix =
    "\xbc\xe0\xbf\xd8\xa3\xba\xbb\xf1\xc8\xa1\xb6\xa9\xb5\xa5\xca\xa7\xb0\xdc\xa3\xba";  // 监控：获取订单失败：
inline constexpr std::string_view kMonitoringRecovered =
    "\xbc\xe0\xbf\xd8\xa3\xba\xd2\xd1\xbb\xd6\xb8\xb4\r\n";  // 监控：已恢复\r\n
// Reasons of the failure lines when the reply gives none.
inline constexpr std::string_view kUnrecognisedReply =
    "\xce\xde\xb7\xa8\xca\xb6\xb1\xf0\xb5\xc4\xbb\xd8\xb8\xb4";  // 无法识别的回复
inline constexpr std::string_view kCannotReachPlatform =
    "\xce\xde\xb7\xa8\xc1\xac\xbd\xd3\xce\xa2\xb5\xea\xc6\xbd\xcc\xa8";  // 无法连接微店平台
inline constexpr std::string_view kNewOrders =
    "\xc4\xfa\xd3\xd0\xd0\xc2\xb5\xc4\xb6\xa9\xb5\xa5\r\n";  // 您有新的订单\r\n
inline constexpr std::string_view kMonitoringStarted = "\xbf\xaa\xca\xbc\xbc\xe0\xbf\xd8\r\n";  // 开始监控\r\n
inline constexpr std::string_view kMonitoringStopped = "\xcd\xa3\xd6\xb9\xbc\xe0\xbf\xd8\r\n";  // 停止监控\r\n
inline constexpr std::string_view kDeliverySucceeded = "\xb7\xa2\xbb\xf5\xb3\xc9\xb9\xa6\r\n";  // 发货成功\r\n
inline constexpr std::string_view kDeliveryFailed = "\xb7\xa2\xbb\xf5\xca\xa7\xb0\xdc\r\n";     // 发货失败\r\n

// Message boxes (all with flags kMessageOk).
inline constexpr std::string_view kPleaseLogIn =
    "\xc7\xeb\xb5\xc7\xc2\xbd\xce\xa2\xb5\xea" "API,\xd4\xda\xbb\xf1\xc8\xa1\xb6\xa9\xb5\xa5";  // 请登陆微店API,在获取订单
inline constexpr std::string_view kChooseOrder =
    "\xc7\xeb\xd1\xa1\xd4\xf1\xd2\xaa\xb7\xa2\xbb\xf5\xb5\xc4\xb6\xa9\xb5\xa5";  // 请选择要发货的订单
inline constexpr std::string_view kEnterTrackingNumber =
    "\xc7\xeb\xca\xe4\xc8\xeb\xbf\xec\xb5\xdd\xb5\xa5\xba\xc5";  // 请输入快递单号

// Cells.
inline constexpr std::string_view kPaid = "\xd2\xd1\xb8\xb6\xbf\xee";                 // 已付款
inline constexpr std::string_view kDeliveredCell = "\xb7\xa2\xbb\xf5\xb3\xc9\xb9\xa6";  // 发货成功

// The record file beside the program, one line per delivery.
inline constexpr std::string_view kRecordFileName = "\xb7\xa2\xbb\xf5\xbc\xc7\xc2\xbc.txt";  // 发货记录.txt

// Fixed pieces of the delivery requests.
inline constexpr std::string_view kCustomExpress =
    "\xd7\xd4\xb6\xa8\xd2\xe5\xbf\xec\xb5\xdd\xb9\xab\xcb\xbe";  // 自定义快递公司
inline constexpr std::string_view kNoLogisticsTrackingNumber = "1234566789";

// Reply literals, each tested as an exact substring.
inline constexpr std::string_view kEmptyDayReply =
    "{\"status\":{\"status_code\":0,\"status_reason\":\"\"},\"result\":[]}";
// Begins with a line feed; a space precedes the reason's closing quote.
// \n{"status":{"status_code":10007,"status_reason":"参数错误，请参考API文档(参数:`access_token`不能为空) "}}
inline constexpr std::string_view kMissingTokenReply =
    "\n{\"status\":{\"status_code\":10007,\"status_reason\":\"\xb2\xce\xca\xfd\xb4\xed\xce\xf3\xa3\xac"
    "\xc7\xeb\xb2\xce\xbf\xbc" "API\xce\xc4\xb5\xb5(\xb2\xce\xca\xfd:`access_token`\xb2\xbb\xc4\xdc\xce\xaa"
    "\xbf\xd5) \"}}";
inline constexpr std::string_view kDeliveryAcceptedReply =
    "{\"result\":\"\",\"status\":{\"status_code\":0,\"status_reason\":\"success\"}}";

}  // namespace quillmere::shop::texts
