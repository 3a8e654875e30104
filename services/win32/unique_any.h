// One move-only owner per kind of Win32 handle, after the pattern of wil::unique_any.
#pragma once

#include <windows.h>

#include <utility>

namespace zelvo::win32 {

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

// Every kind owned here marks "none" with null. (Files, which use INVALID_HANDLE_VALUE, are
// tested before they are handed to an owner.)
inline void closeHandle(HANDLE h) {
  ::CloseHandle(h);
}
inline void closeKey(HKEY key) {
  ::RegCloseKey(key);
}
inline void deleteObject(HGDIOBJ object) {
  ::DeleteObject(object);
}
inline void destroyWindow(HWND window) {
  ::DestroyWindow(window);
}

using UniqueHandle = UniqueAny<HANDLE, closeHandle>;
using UniqueHkey = UniqueAny<HKEY, closeKey>;
using UniqueGdiObject = UniqueAny<HGDIOBJ, deleteObject>;
using UniqueWindow = UniqueAny<HWND, destroyWindow>;

}  // namespace zelvo::win32
