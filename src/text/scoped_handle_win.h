#pragma once
// One owner for every kind of Windows handle: `Close` runs when the owner lets go, unless the
// owner holds the "no handle" value. Includes neither wininet.h nor winhttp.h, which clash.

#include <cstdint>
#include <utility>

namespace quillmere {

// `Close` is the system's own function (WINAPI on 32-bit Windows), taken at its real type.
// `None` is a number, not a `Handle`: INVALID_HANDLE_VALUE, a cast, cannot be a template
// argument.
template <class Handle, auto Close, std::intptr_t None = 0>
class Owned {
 public:
  Owned() = default;
  explicit Owned(Handle handle) : handle_(handle) {}
  Owned(Owned&& other) noexcept : handle_(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  static Handle none() { return reinterpret_cast<Handle>(None); }
  bool valid() const { return handle_ != none(); }
  explicit operator bool() const { return valid(); }
  Handle get() const { return handle_; }

  // The handle is the caller's from now on.
  Handle release() { return std::exchange(handle_, none()); }
  void reset(Handle handle = none()) {
    const Handle old = std::exchange(handle_, handle);
    if (old != none()) Close(old);
  }

 private:
  Handle handle_ = none();
};

}  // namespace quillmere
