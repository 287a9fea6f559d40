#include "app/dialog_keys_win.h"

#include <imm.h>

namespace quillmere::app {
namespace {

constexpr wchar_t kDialogKeysProperty[] = L"Quillmere.DialogKeys";

// The key message being handed to its window, for that window alone to take once. Never passed
// in lParam: any process can post kTranslateKeys with whatever number it likes there.
thread_local MSG* key_message_given = nullptr;

bool held(int key) { return (GetKeyState(key) & 0x8000) != 0; }

bool is_edit(HWND control) {
  wchar_t name[16] = {};
  return control != nullptr && GetClassNameW(control, name, 16) > 0 &&
         lstrcmpiW(name, L"Edit") == 0;
}

}  // namespace

void ask_for_dialog_keys(HWND window) {
  SetPropW(window, kDialogKeysProperty, reinterpret_cast<HANDLE>(1));
}

void stop_dialog_keys(HWND window) { RemovePropW(window, kDialogKeysProperty); }

bool give_to_dialog_manager(MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST || message.hwnd == nullptr)
    return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  if (root == nullptr || GetPropW(root, kDialogKeysProperty) == nullptr) return false;
  key_message_given = &message;
  const bool taken = SendMessageW(root, kTranslateKeys, 0, 0) != 0;
  key_message_given = nullptr;
  return taken;
}

MSG* take_key_message() {
  MSG* given = key_message_given;
  key_message_given = nullptr;
  return given;
}

bool is_shift_held() { return held(VK_SHIFT); }

bool is_control_chord(const MSG& message, UINT key, bool shift) {
  return message.message == WM_KEYDOWN && message.wParam == key && held(VK_CONTROL) &&
         !held(VK_MENU) && (shift || !held(VK_SHIFT));
}

bool select_all_on_ctrl_a(const MSG& message) {
  if (!is_control_chord(message, 'A') || !is_edit(message.hwnd)) return false;
  SendMessageW(message.hwnd, EM_SETSEL, 0, -1);
  return true;
}

bool FocusKeeper::on_activate(HWND window, WPARAM w) {
  if (LOWORD(w) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window, focus)) saved_ = focus;
    return false;
  }
  if (HIWORD(w) != 0) return false;  // minimised: nothing to focus
  // The control's own visibility: on the first activation its window is not shown yet.
  if (saved_ != nullptr && IsWindow(saved_) && IsWindowEnabled(saved_) &&
      (GetWindowLongPtrW(saved_, GWL_STYLE) & WS_VISIBLE) != 0) {
    SetFocus(saved_);
    return true;
  }
  return false;
}

void refuse_input_method(HWND edit) { ImmAssociateContextEx(edit, nullptr, 0); }

}  // namespace quillmere::app
