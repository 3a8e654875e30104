// The owners of the Win32 handle kinds the programs hold.
#pragma once

#include <windows.h>

#include "services/unique_any.h"

namespace zelvo::win32 {

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
