// Start-up: the main window and its message loop; the process ends with exit code 0.

#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "app/application_win.h"
#include "app/dialog_keys_win.h"
#include "app/win32_support_win.h"
#include "text/responsive_wait_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  quillmere::app::ComApartment com;
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_DATE_CLASSES |
                                                   ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&classes);

  quillmere::set_message_filter(quillmere::app::give_to_dialog_manager);
  auto application = std::make_shared<quillmere::app::Application>();
  if (!application->start(instance)) return 1;

  // The program's one message loop.
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    quillmere::dispatch_message(message);
  }
  // The window is gone: monitoring, retrieval and login are abandoned with the process, and a
  // delivery under way is waited out so that its outcome is recorded.
  application->wait_out_delivery_at_exit();
  return 0;
}
