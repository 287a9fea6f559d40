#pragma once
// The texts of 批量发货 as GBK bytes: the 检查 and 结果 cells, the confirmation, the progress
// and the log line, the titles it reads and writes.

#include <array>
#include <string_view>

#include "text/gbk_literal.h"

namespace quillmere::shop::texts {

// Column titles a list may use, each field's in the order tried.
inline constexpr std::array<std::string_view, 2> kOrderIdTitles = {"订单号"_gbk, "订单编号"_gbk};
inline constexpr std::array<std::string_view, 3> kCourierTitles = {"快递公司"_gbk, "物流公司"_gbk,
                                                                   "快递"_gbk};
inline constexpr std::array<std::string_view, 3> kTrackingTitles = {"快递单号"_gbk, "运单号"_gbk,
                                                                    "物流单号"_gbk};
inline constexpr std::string_view kNoOrderIdColumn =
    "找不到订单号列：标题应为 订单号 或 订单编号"_gbk;
inline constexpr std::string_view kNoCourierColumn =
    "找不到快递公司列：标题应为 快递公司、物流公司 或 快递"_gbk;

// 检查.
inline constexpr std::string_view kReadyToSend = "可发货"_gbk;
inline constexpr std::string_view kProblemSeparator = "；"_gbk;
inline constexpr std::string_view kOrderIdEmpty = "订单号为空"_gbk;
inline constexpr std::string_view kOrderIdNotDigits = "订单号只能是数字"_gbk;
inline constexpr std::string_view kOrderIdScientific =
    "订单号被显示成科学计数法（E+），后几位已丢失：请把该列设为文本，再重新填写订单号"_gbk;
inline constexpr std::string_view kOrderIdPointZero =
    "订单号末尾多了 .0：请把该列设为文本，再重新填写订单号"_gbk;
inline constexpr std::string_view kOrderIdLongNumber =
    "订单号超过 15 位，存成数字时后几位已丢失：请把该列设为文本，再重新填写订单号"_gbk;
inline constexpr std::string_view kCourierEmpty = "快递公司为空"_gbk;
// Followed by the cell's text; then, when one name holds it, the hint around that name.
inline constexpr std::string_view kCourierUnknown = "无法识别的快递公司："_gbk;
inline constexpr std::string_view kCourierHintPrefix = "（是否为"_gbk;
inline constexpr std::string_view kCourierHintSuffix = "？）"_gbk;
// Followed by the cell's text, kCourierCandidates and the names, joined by " / ".
inline constexpr std::string_view kCourierAmbiguous = "快递公司不明确："_gbk;
inline constexpr std::string_view kCourierCandidates = "，可能是 "_gbk;
inline constexpr std::string_view kMoreCandidates = "…"_gbk;
inline constexpr std::string_view kTrackingEmpty = "快递单号为空"_gbk;
inline constexpr std::string_view kTrackingScientific =
    "快递单号被显示成科学计数法（E+），后几位已丢失：请把该列设为文本，再重新填写快递单号"_gbk;
inline constexpr std::string_view kTrackingLongNumber =
    "快递单号超过 15 位，存成数字时后几位已丢失：请把该列设为文本，再重新填写快递单号"_gbk;
inline constexpr std::string_view kTrackingBlankInside = "快递单号中间有空格"_gbk;
// kRepeatsPrefix, the earlier row's 行, kRepeatsSuffix.
inline constexpr std::string_view kRepeatsPrefix = "与第 "_gbk;
inline constexpr std::string_view kRepeatsSuffix = " 行订单号重复"_gbk;
inline constexpr std::string_view kAlreadyRecorded = "已发货（记录）"_gbk;
// Followed by the order list's 发货状态.
inline constexpr std::string_view kListedState = "发货状态为"_gbk;
// The order list's 发货状态 of an order that may be shipped.
inline constexpr std::string_view kAwaitingShipment = "待发货"_gbk;

// 结果.
inline constexpr std::string_view kSkipped = "跳过"_gbk;
// Followed by the reason.
inline constexpr std::string_view kSkippedBecause = "跳过："_gbk;
inline constexpr std::string_view kNotPaid = "未付款"_gbk;
inline constexpr std::string_view kStateUnknown = "发货状态未知"_gbk;
// Part of a shipped order's 发货状态 (已发货).
inline constexpr std::string_view kShippedState = "已发货"_gbk;
// Followed by the platform's reason.
inline constexpr std::string_view kBulkDeliveryFailed = "发货失败："_gbk;
inline constexpr std::string_view kOutcomeUnknown = "结果未知，请核对后再发"_gbk;
// 原因 of a row that was never sent.
inline constexpr std::string_view kNotSent = "未发送"_gbk;
inline constexpr std::string_view kReasonTitle = "原因"_gbk;

// "将发货 N 单（另有 M 行有问题，不会发送），确定开始？"
inline constexpr std::string_view kConfirmPrefix = "将发货 "_gbk;
inline constexpr std::string_view kConfirmMiddle = " 单（另有 "_gbk;
inline constexpr std::string_view kConfirmSuffix = " 行有问题，不会发送），确定开始？"_gbk;
// "已发 N / 共 M 单，失败 K，跳过 S"
inline constexpr std::string_view kProgressSent = "已发 "_gbk;
inline constexpr std::string_view kProgressTotal = " / 共 "_gbk;
inline constexpr std::string_view kProgressFailed = " 单，失败 "_gbk;
inline constexpr std::string_view kProgressSkipped = "，跳过 "_gbk;
// "批量发货完成：成功 N 单，失败 K 单，跳过 S 单\r\n"
inline constexpr std::string_view kBulkDonePrefix = "批量发货完成：成功 "_gbk;
inline constexpr std::string_view kBulkDoneFailed = " 单，失败 "_gbk;
inline constexpr std::string_view kBulkDoneSkipped = " 单，跳过 "_gbk;
inline constexpr std::string_view kBulkDoneSuffix = " 单\r\n"_gbk;

// The window and the program around a run.
inline constexpr std::string_view kBulkUnderWay = "正在批量发货，请稍候"_gbk;
inline constexpr std::string_view kStopAndClose = "正在批量发货，停止并关闭？"_gbk;
inline constexpr std::string_view kNothingToSend =
    "没有可发货的行：请先打开文件或粘贴，检查为“可发货”的行才会发送。"_gbk;
// The name 导出未发货… proposes: "未发货 2026-12-10.xlsx".
inline constexpr std::string_view kUnsentExportName = "未发货"_gbk;

}  // namespace quillmere::shop::texts
