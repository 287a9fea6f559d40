#pragma once
// Window class names and control identifiers of the program's windows. The end-to-end tests find
// the controls by these, so they are part of the program's outside contract.

namespace quillmere::app {

inline constexpr wchar_t kMainWindowClass[] = L"QuillmereMainWindow";
inline constexpr wchar_t kExpressWindowClass[] = L"QuillmereExpressWindow";
inline constexpr wchar_t kBulkWindowClass[] = L"QuillmereBulkWindow";
// The hidden window that outlives the main one while a delivery is out (keeper_window_win.h).
inline constexpr wchar_t kKeeperWindowClass[] = L"QuillmereKeeper";

// Main window.
enum MainControl : int {
  kLoginFrame = 100,    // 分组框1
  kAppKeyLabel,         // 标签1
  kAppKeyEdit,          // 编辑框_appkey
  kLoginButton,         // 按钮_登陆
  kSecretLabel,         // 标签2
  kSecretEdit,          // 编辑框_secret
  kFunctionFrame,       // 分组框_快递, captioned 功能区
  kStartMonitorButton,  // 按钮_开始监控
  kStopMonitorButton,   // 按钮_停止监控
  kAddCardButton,       // 按钮_添加卡密
  kDatePicker,          // 日期框1
  kFetchOrdersButton,   // 按钮_获取订单, captioned 订单查询
  kDeliverButton,       // 按钮_发货
  kTabs,                // 高级选择夹1
  kOrderList,           // 超级列表框_订单状态
  kDeliveryList,        // 超级列表框_发货状态
  kLogFrame,            // 分组框2
  kLogEdit,             // 编辑框_工作区
  kBulkShipButton,      // 批量发货
};

// Express window.
enum ExpressControl : int {
  kExpressFrame = 200,  // 分组框1
  kCourierLabel,        // 标签1
  kCourierCombo,        // 组合框_选择快递
  kTrackingLabel,       // 标签2
  kTrackingEdit,        // 编辑框_快递单号
  kConfirmButton,       // 按钮_确定发货
};

// Bulk shipping window "批量发货".
enum BulkControl : int {
  kBulkOpenButton = 300,  // 打开文件…
  kBulkPasteButton,       // 粘贴
  kBulkStartButton,       // 开始发货
  kBulkStopButton,        // 停止
  kBulkExportButton,      // 导出未发货…
  kBulkList,
  kBulkProgress,
  kBulkSummary,
};

}  // namespace quillmere::app
