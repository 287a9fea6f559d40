#pragma once
// Small pieces every window file uses: GBK <-> UTF-16 at the Windows edge, owners of fonts,
// COM and file handles, and building controls from a layout table.

#include <windows.h>

#include <objbase.h>

#include <string>
#include <string_view>

namespace quillmere::app {

// Program text (GBK) as the W API wants it, and back.
std::wstring wide(std::string_view gbk_text);
std::string gbk(std::wstring_view wide_text);

// The system's own words for an error code, as GBK, without their closing line break: in the
// user's language (language 0 lets FormatMessageW fall back from the thread's language to the
// user's and the system's). The code in decimal when the system has no words for it.
std::string system_message(DWORD error);

// The whole text of a window or control, as GBK.
std::string window_text(HWND window);
void set_window_text(HWND window, std::string_view gbk_text);

// The folder of the running program, without a trailing backslash.
std::wstring program_directory();

// The program's own icon at the size of `size_metric` (SM_CXICON, SM_CXSMICON), for window
// classes; the stock application icon when the module carries none (test programs).
HICON program_icon(HINSTANCE instance, int size_metric);

class FontHolder {
 public:
  FontHolder() = default;
  explicit FontHolder(HFONT font) : font_(font) {}
  FontHolder(const FontHolder&) = delete;
  FontHolder& operator=(const FontHolder&) = delete;
  ~FontHolder() {
    if (font_ != nullptr) DeleteObject(font_);
  }
  HFONT get() const { return font_; }
  void reset(HFONT font) {
    if (font_ != nullptr) DeleteObject(font_);
    font_ = font;
  }

 private:
  HFONT font_ = nullptr;
};

// "SimSun", 12 pixels, weight 400, GB2312: the tab captions' font.
HFONT create_tab_caption_font();
// A font with Chinese glyphs for every other control: the first installed of the faces the
// shop owner's Windows is likely to have; the font mapper picks a GB2312 face otherwise.
HFONT create_control_font();

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// COM for the calling thread for the holder's lifetime.
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }

 private:
  bool initialised_;
};

// One row of a window's layout: a control placed relative to its container, whose own
// offset in the window's client area is `container_left`, `container_top`.
struct ControlLayout {
  int id;
  const wchar_t* window_class;
  DWORD style;
  int container_left, container_top;
  int left, top, width, height;
  std::string_view text;  // GBK
};

HWND create_control(HWND parent, const ControlLayout& layout, HFONT font);

// The body of a window procedure whose window object is the creation parameter: the object is
// remembered on WM_NCCREATE (with its window handle) and gets every message from then on.
template <class T>
LRESULT dispatch_to_object(HWND window, UINT message, WPARAM w, LPARAM l, HWND T::*window_member,
                           LRESULT (T::*handler)(UINT, WPARAM, LPARAM)) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    self->*window_member = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, w, l);
  return (self->*handler)(message, w, l);
}

}  // namespace quillmere::app
