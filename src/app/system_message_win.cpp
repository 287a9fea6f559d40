#include "app/system_message_win.h"

#include "app/edge_text_win.h"

namespace quillmere::app {

std::string system_message(DWORD error) {
  wchar_t* text = nullptr;
  // Without IGNORE_INSERTS a message with %1 in it would read arguments that are not there.
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", text != nullptr ? length : 0);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n'))
    message.pop_back();
  return message.empty() ? std::to_string(error) : gbk(message);
}

}  // namespace quillmere::app
