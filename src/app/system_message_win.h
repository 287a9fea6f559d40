#pragma once
// The system's own words for an error code.

#include <windows.h>

#include <string>

namespace quillmere::app {

// The system's own words for an error code, as GBK, without their closing line break: in the
// user's language (language 0 lets FormatMessageW fall back from the thread's language to the
// user's and the system's). The code in decimal when the system has no words for it.
std::string system_message(DWORD error);

}  // namespace quillmere::app
