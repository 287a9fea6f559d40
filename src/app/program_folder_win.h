#pragma once
// Where the running program lies, for the files kept beside it.

#include <string>

namespace quillmere::app {

// The folder of the running program, without a trailing backslash.
std::wstring program_directory();

}  // namespace quillmere::app
