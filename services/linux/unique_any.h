// One move-only owner per kind of Linux resource (file descriptors, library objects), after the
// pattern of wil::unique_any, as the Windows layer owns its handles.
#pragma once

#include <unistd.h>

#include <utility>

namespace zelvo::linux_os {

template <typename T, auto Close, T Invalid = T{}>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueAny() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid; }
  T release() { return std::exchange(value_, Invalid); }
  void reset(T value = Invalid) {
    const T old = std::exchange(value_, value);
    if (old != Invalid) Close(old);
  }
  // For APIs that return the object through an out parameter.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Invalid;
};

// A failed close still releases the descriptor on Linux; there is nothing to retry.
inline void closeFd(int fd) {
  ::close(fd);
}

using UniqueFd = UniqueAny<int, closeFd, -1>;

}  // namespace zelvo::linux_os
