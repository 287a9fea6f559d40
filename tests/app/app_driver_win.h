#pragma once
// Drives a running quillmere.exe from outside, as a person would: through its windows'
// messages, reading back what the windows show. Texts come and go as UTF-16.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/control_ids.h"

namespace quillmere::testing {

using namespace std::chrono_literals;

// Polls `condition` until it holds or `limit` passes; the last answer.
bool wait_until(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::milliseconds(15000));

std::wstring utf16(const std::string& utf8);
std::string utf8(const std::wstring& units);

// SendMessageW with a time limit: a program that stopped answering fails the test (the message
// yields 0) instead of holding the whole suite. Every message the tests send goes this way.
LRESULT send_message(HWND window, UINT message, WPARAM w, LPARAM l,
                     std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

std::wstring text_of(HWND window);
void set_text(HWND window, const std::wstring& text);
// Posts the click, so a handler that runs long (monitoring) does not hold the caller.
void click(HWND button);

// A message box of the program: its text and whether it shows an icon.
struct MessageBoxSeen {
  HWND box = nullptr;
  std::wstring text;
  bool has_icon = false;
};

class AppProcess {
 public:
  // Copies the program into `folder` (Windows path) and starts it there.
  AppProcess(const std::wstring& program, const std::wstring& folder);
  ~AppProcess();
  AppProcess(const AppProcess&) = delete;
  AppProcess& operator=(const AppProcess&) = delete;

  bool started() const { return process_.hProcess != nullptr; }
  // The next message box the program shows, waited for up to `limit`; box null when none.
  // `except`: a dialog already open (such as Save As), which is not the box looked for.
  MessageBoxSeen message_box(std::chrono::milliseconds limit = std::chrono::milliseconds(15000),
                             HWND except = nullptr);
  // Presses OK on the box and waits for it to go.
  void dismiss(const MessageBoxSeen& seen);
  // The top-level window of `window_class` once it exists; null after `limit`.
  HWND top_window(const wchar_t* window_class,
                  std::chrono::milliseconds limit = std::chrono::milliseconds(15000));
  HWND control(HWND window, int id) const { return GetDlgItem(window, id); }
  // Exit code once the process has ended within `limit`; -1 otherwise.
  long exit_code(std::chrono::milliseconds limit);

  // List views and the date picker: their data lives in the program's memory.
  int row_count(HWND list) const;
  std::wstring cell(HWND list, int row, int column) const;
  std::wstring column_title(HWND list, int column) const;
  int column_width(HWND list, int column) const;
  void select_row(HWND list, int row) const;
  // The same, posted: it lands whenever the program's thread gets to it. The item it points at
  // stays in the program's memory until the process ends.
  void post_select_row(HWND list, int row) const;
  void clear_selection(HWND list) const;
  // The selected row; -1 when none.
  int selected_row(HWND list) const;
  void set_date(HWND picker, int year, int month, int day) const;
  // A row's rectangle in the list's client area.
  RECT row_rect(HWND list, int row) const;
  // Chooses a courier entry as a person would (the selection-change notice included).
  void choose_entry(HWND combo, int index) const;
  std::wstring entry_text(HWND combo, int index) const;

  DWORD id() const { return process_.dwProcessId; }
  // The process's top-level windows, visible or not.
  std::vector<HWND> top_windows() const;

 private:
  // Memory in the program's process for one exchange.
  class RemoteBuffer;
  PROCESS_INFORMATION process_{};
};

// Keys through the system's input, as a keyboard sends them, to the foreground window: the
// keys go down in order and up in reverse (a chord such as {VK_CONTROL, 'C'}).
void press(std::initializer_list<WORD> keys);
// Types `text` through the system's input, character by character, into the focused control.
void type_text(const std::wstring& text);
// Brings `window` to the front and waits until it is the foreground window.
bool bring_to_front(HWND window);
// The control with the keyboard focus on `window`'s thread.
HWND focused(HWND window);
// The focused control's id, once it is `id` or `limit` has passed.
int wait_for_focus(HWND window, int id, std::chrono::milliseconds limit = 3s);

// A right-click through the system's input at `point` of `window`'s client area.
void right_click(HWND window, POINT point);
// What the clipboard holds as Unicode text, and as "HTML Format" (UTF-8); empty when nothing.
std::wstring clipboard_text();
std::string clipboard_html();
void empty_clipboard();

// How long `window`'s thread takes to handle a plain message (WM_NULL), the way Windows decides
// that a window has stopped answering; `limit` when it did not answer within it.
std::chrono::duration<double, std::milli> answer_time(HWND window,
                                                      std::chrono::milliseconds limit = 10s);

struct AnswerFigures {
  int samples = 0;
  double median_ms = 0;
  double worst_ms = 0;
};
// Answer times of probes sent every `pause` while `span` passes, each sent on time whether or
// not the probes before it have been answered.
AnswerFigures measure_answer_times(HWND window, std::chrono::milliseconds span,
                                   std::chrono::milliseconds pause = 50ms);

// The rectangle of `control` in `window`'s client coordinates.
RECT client_rect_of(HWND window, HWND control);

// Where the design puts each control at 96 DPI in its window's client area, frame and
// tab-page offsets added in: what the in-process and the end-to-end tests hold both windows to.
struct Placed {
  int id;
  int left, top, width, height;  // height -1: the control decides (a closed combo box)
};

inline constexpr Placed kMainPlaced[] = {
    {app::kLoginFrame, 8, 8, 216, 80},          {app::kAppKeyLabel, 16, 24, 40, 24},
    {app::kAppKeyEdit, 64, 24, 64, 24},         {app::kLoginButton, 144, 24, 56, 24},
    {app::kSecretLabel, 16, 56, 48, 24},        {app::kSecretEdit, 64, 56, 144, 24},
    {app::kFunctionFrame, 224, 8, 304, 80},     {app::kStartMonitorButton, 240, 56, 64, 24},
    {app::kStopMonitorButton, 312, 56, 56, 24}, {app::kAddCardButton, 376, 24, 80, 24},
    {app::kDatePicker, 384, 56, 112, 24},       {app::kFetchOrdersButton, 240, 24, 64, 24},
    {app::kDeliverButton, 312, 24, 56, 24},     {app::kTabs, 8, 104, 640, 288},
    {app::kOrderList, 16, 136, 624, 248},       {app::kDeliveryList, 16, 136, 624, 248},
    {app::kLogFrame, 8, 400, 400, 144},         {app::kLogEdit, 24, 416, 368, 112},
    {app::kBulkShipButton, 464, 24, 56, 24},
};
inline constexpr Placed kExpressPlaced[] = {
    {app::kExpressFrame, 8, 8, 288, 88},   {app::kCourierLabel, 40, 32, 48, 24},
    {app::kCourierCombo, 88, 32, 120, -1}, {app::kTrackingLabel, 16, 56, 72, 24},
    {app::kTrackingEdit, 88, 56, 120, 24}, {app::kConfirmButton, 216, 40, 56, 32},
};

// The notification area as Wine shows it without a desktop tray (Xvfb): a top-level window of
// its own, "Wine System Tray", with one child window per icon. Windows has no such windows.
// A program that was ended from outside may leave its icon there until Wine notices.
std::vector<HWND> tray_icon_windows();
// The icon window that is there now and was not among `before`; null when none or several.
HWND new_tray_icon(const std::vector<HWND>& before);
// A notice that Wine shows now (a visible tooltip window of the tray); null when none. Its text
// cannot be read from another process, but a screenshot shows it.
HWND visible_notice();
// A click on an icon (left unless told), as the tray window passes it on to the icon's program.
void click_tray_icon(HWND icon, UINT down = WM_LBUTTONDOWN, UINT up = WM_LBUTTONUP);
// The pop-up menu that the process shows now; null when none. Its items cannot be read from
// another process, but keys reach it.
HWND open_menu_of(DWORD process);
// "TaskbarCreated" to every top-level window, as Explorer sends it when it starts anew.
void broadcast_taskbar_created();

// Writes what the screen shows of `window` as a 24-bit BMP file.
bool save_window_bitmap(HWND window, const std::wstring& path);

}  // namespace quillmere::testing
