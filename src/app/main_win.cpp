// Start-up: the main window and its message loop; the process ends with exit code 0.

#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "app/application_win.h"
#include "app/dialog_keys_win.h"
#include "app/system_handles_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  quillmere::app::ComApartment com;
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_DATE_CLASSES |
                                                   ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&classes);

  auto application = std::make_shared<quillmere::app::Application>();
  if (!application->start(instance)) return 1;

  // The program's one message loop.
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (quillmere::app::give_to_dialog_manager(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // The windows are gone: monitoring, retrieval and login are abandoned with the process. A
  // delivery under way kept the hidden window, and so the loop, until it ended; this wait is for
  // the case that window could not be made.
  application->wait_out_delivery_at_exit();
  return 0;
}
