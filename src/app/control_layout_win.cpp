#include "app/control_layout_win.h"

#include "app/edge_text_win.h"

namespace quillmere::app {

namespace {

// Where a layout row puts its control in the parent's client area at `dpi`: the container's
// offset and the control's own, each scaled as the figure it is.
RECT placed(const ControlLayout& layout, int dpi) {
  const auto at = [dpi](int pixels) { return app::scale_to_dpi(pixels, dpi); };
  const int left = at(layout.container_left) + at(layout.left);
  const int top = at(layout.container_top) + at(layout.top);
  return {left, top, left + at(layout.width), top + at(layout.height)};
}

}  // namespace

HWND create_control(HWND parent, const ControlLayout& layout, HFONT font, int dpi) {
  const DWORD ex_style = layout.window_class == std::wstring_view(L"Edit") ||
                                 layout.window_class == std::wstring_view(L"SysListView32")
                             ? WS_EX_CLIENTEDGE
                             : 0;
  const RECT place = placed(layout, dpi);
  HWND control = CreateWindowExW(
      ex_style, layout.window_class, wide(layout.text).c_str(),
      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | layout.style, place.left, place.top,
      place.right - place.left, place.bottom - place.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (control != nullptr && font != nullptr)
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void place_controls(HWND parent, std::span<const ControlLayout> layout, int dpi,
                    const std::function<HFONT(int id)>& font_for) {
  for (const ControlLayout& row : layout) {
    HWND control = GetDlgItem(parent, row.id);
    if (control == nullptr) continue;
    const RECT place = placed(row, dpi);
    SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_for(row.id)), TRUE);
  }
}

}  // namespace quillmere::app
