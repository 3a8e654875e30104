// One move-only owner per kind of platform handle (a Win32 handle, a Linux descriptor, a
// library's object), after the pattern of wil::unique_any: the kind names its close function
// and its "none" value.
#pragma once

#include <utility>

namespace zelvo {

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
  // For APIs that return the handle through an out parameter.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Invalid;
};

}  // namespace zelvo
