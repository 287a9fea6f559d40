#pragma once
// Owners of what the system hands out to a thread or a file.

#include <windows.h>

#include <objbase.h>

#include "text/scoped_handle_win.h"

namespace quillmere::app {

// -1: INVALID_HANDLE_VALUE, what CreateFileW gives when it fails.
using FileHandle = Owned<HANDLE, CloseHandle, -1>;

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

}  // namespace quillmere::app
