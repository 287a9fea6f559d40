#pragma once
// The program's icon in the notification area, and the notices it shows. The owner window
// gets the icon's callback message and the retry timer, and passes them here; everything runs
// on the owner's thread.
//
// The icon is known to the shell by its window and id, never by a GUID: Windows binds a GUID to
// the exe's path, and this program is carried from folder to folder.

#include <windows.h>

#include <string>

#include "app/messages_win.h"

namespace quillmere::app {

class TrayIcon {
 public:
  TrayIcon() = default;
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;
  ~TrayIcon();

  // Puts the icon up with this tooltip, or changes the tooltip of the icon that is up: one
  // icon per owner whatever the number of calls. When the shell is not ready yet (Explorer
  // still starting), the add is tried again for a few seconds.
  void show(HWND owner, const std::wstring& tip);
  // Takes the icon down: NIM_DELETE whenever an icon was ever put up for the owner, whatever
  // this side believes of it (an add that failed may still have reached the shell).
  void hide();
  bool wanted() const { return wanted_; }
  // The screen scale changed: icons of the new size, on the icon that is up as well.
  void reload_icons();

  // "TaskbarCreated": Explorer started anew and knows no icon, or (Wine) still has ours.
  void on_taskbar_created();
  // The owner's WM_TIMER for kTrayAddRetryTimer.
  void on_retry_timer();

  // A notice from the icon, large program icon, in Windows' quiet time only where Windows
  // lets it through; false when no icon is up to show it.
  bool notify(const std::wstring& title, const std::wstring& text);

 private:
  bool add();
  void add_or_retry();
  void load_icons();

  void release_icons();

  HWND owner_ = nullptr;  // kept after hide, for the next hide's NIM_DELETE
  std::wstring tip_;
  bool wanted_ = false;
  bool added_ = false;
  int retries_left_ = 0;
  HICON small_icon_ = nullptr;
  HICON large_icon_ = nullptr;
};

}  // namespace quillmere::app
