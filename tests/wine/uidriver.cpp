// A small UI driver for the end-to-end tests: finds top-level windows by title (hidden ones
// too) with a deadline, reads their controls, clicks buttons and check boxes, and sends the
// messages that the window system sends at the end of a session; reads a program file's version
// strings, manifest and icon. Console program; every
// command prints what it found and exits 0 on success, 1 on failure, 2 on bad usage.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string out(size_t(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr,
                        nullptr);
  return out;
}

std::wstring textOf(HWND window) {
  std::wstring text(size_t(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(size_t(::GetWindowTextW(window, text.data(), int(text.size()))));
  return text;
}

std::wstring classOf(HWND window) {
  wchar_t name[256] = L"";
  ::GetClassNameW(window, name, 256);
  return name;
}

// Buttons carry their access-key ampersand; "&OK" matches "OK".
std::wstring withoutAmpersands(std::wstring text) {
  std::erase(text, L'&');
  return text;
}

std::vector<HWND> topLevelWindows(const std::wstring& title, bool visibleOnly) {
  struct Search {
    const std::wstring* title;
    bool visibleOnly;
    std::vector<HWND> found;
  } search{&title, visibleOnly, {}};
  ::EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if ((!s->visibleOnly || ::IsWindowVisible(window)) && textOf(window) == *s->title) {
          s->found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> children(HWND parent) {
  std::vector<HWND> found;
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND waitForWindow(const std::wstring& title, DWORD timeoutMs, bool visibleOnly = true) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    const auto found = topLevelWindows(title, visibleOnly);
    if (!found.empty()) return found.front();
    if (::GetTickCount64() >= deadline) return nullptr;
    ::Sleep(50);
  }
}

HWND findChild(HWND parent, const std::wstring& text) {
  for (HWND child : children(parent)) {
    if (withoutAmpersands(textOf(child)) == text) return child;
  }
  return nullptr;
}

int fail(const char* what) {
  std::printf("%s\n", what);
  return 1;
}

void describe(HWND window) {
  RECT client;
  ::GetClientRect(window, &client);
  const LONG style = ::GetWindowLongW(window, GWL_STYLE);
  std::printf("window|%s|client %ld x %ld|visible %d|minimize %d|maximize %d|sizing %d\n",
              utf8(textOf(window)).c_str(), client.right, client.bottom,
              ::IsWindowVisible(window) ? 1 : 0, (style & WS_MINIMIZEBOX) ? 1 : 0,
              (style & WS_MAXIMIZEBOX) ? 1 : 0, (style & WS_THICKFRAME) ? 1 : 0);
  for (HWND child : children(window)) {
    RECT box;
    ::GetWindowRect(child, &box);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    const LRESULT check = ::SendMessageW(child, BM_GETCHECK, 0, 0);
    std::printf("control|%s|%s|%ld,%ld,%ld,%ld|id %d|check %d\n", utf8(classOf(child)).c_str(),
                utf8(textOf(child)).c_str(), box.left, box.top, box.right - box.left,
                box.bottom - box.top, ::GetDlgCtrlID(child), int(check));
  }
}

// Prints a program file's version strings and its embedded manifest, read back as Windows
// reads them.
int describeResources(const wchar_t* path) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
  std::vector<BYTE> block(size);
  if (size == 0 || !::GetFileVersionInfoW(path, 0, size, block.data())) {
    return fail("no version resource");
  }
  for (const wchar_t* name :
       {L"ProductName", L"FileDescription", L"FileVersion", L"OriginalFilename"}) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\041504B0\\") + name;
    if (::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) {
      std::printf("version|%s|%s\n", utf8(name).c_str(), utf8(value).c_str());
    }
  }
  HMODULE module = ::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return fail("cannot load");
  HRSRC manifest = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  if (manifest) {
    const char* text = static_cast<const char*>(::LockResource(::LoadResource(module, manifest)));
    std::printf("manifest|%.*s\n", int(::SizeofResource(module, manifest)), text);
  }
  ::FreeLibrary(module);
  return 0;
}

// The bytes of a whole file; empty when it cannot be read.
std::vector<BYTE> fileBytes(const wchar_t* path) {
  std::vector<BYTE> bytes;
  HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file, &size)) {
    bytes.resize(size_t(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr)) read = 0;
    bytes.resize(read);
  }
  ::CloseHandle(file);
  return bytes;
}

// A little-endian field of a resource or file header.
unsigned field(const std::vector<BYTE>& bytes, size_t offset, size_t width) {
  unsigned value = 0;
  for (size_t i = 0; i < width && offset + i < bytes.size(); ++i) {
    value |= unsigned(bytes[offset + i]) << (8 * i);
  }
  return value;
}

// Compares the icon a program file shows (its first icon group) with an .ico file, image by
// image: each image of the .ico must be in the group, with the same size and colour depth and
// the same bytes. Prints one line per image.
int compareIcon(const wchar_t* path, const wchar_t* icoPath) {
  const std::vector<BYTE> ico = fileBytes(icoPath);
  if (ico.size() < 6) return fail("cannot read the icon file");
  HMODULE module = ::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return fail("cannot load");
  // The first icon group, copied while its name is valid (a string name lives only as long as
  // the enumeration).
  std::vector<BYTE> group;
  ::EnumResourceNamesW(
      module, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */,
      [](HMODULE from, LPCWSTR type, LPWSTR name, LONG_PTR param) -> BOOL {
        if (HRSRC found = ::FindResourceW(from, name, type)) {
          const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(from, found)));
          reinterpret_cast<std::vector<BYTE>*>(param)->assign(data,
                                                              data + ::SizeofResource(from, found));
        }
        return FALSE;
      },
      reinterpret_cast<LONG_PTR>(&group));
  bool allSame = !group.empty();
  for (unsigned image = 0; image < field(ico, 4, 2); ++image) {
    const size_t entry = 6 + 16 * size_t(image);
    const unsigned width = field(ico, entry, 1), height = field(ico, entry + 1, 1),
                   bits = field(ico, entry + 6, 2), size = field(ico, entry + 8, 4),
                   offset = field(ico, entry + 12, 4);
    const char* verdict = "missing";
    for (unsigned member = 0; member < field(group, 4, 2); ++member) {
      const size_t groupEntry = 6 + 14 * size_t(member);
      if (field(group, groupEntry, 1) != width || field(group, groupEntry + 1, 1) != height ||
          field(group, groupEntry + 6, 2) != bits) {
        continue;
      }
      HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(field(group, groupEntry + 12, 2)),
                                    MAKEINTRESOURCEW(3) /* RT_ICON */);
      const BYTE* data =
          found ? static_cast<const BYTE*>(::LockResource(::LoadResource(module, found))) : nullptr;
      const bool same = data && ::SizeofResource(module, found) == size &&
                        size_t(offset) + size <= ico.size() &&
                        std::equal(data, data + size, ico.begin() + offset);
      verdict = same ? "same" : "different";
      break;
    }
    if (std::string(verdict) != "same") allSame = false;
    std::printf("icon|%ux%u|%u bpp|%s\n", width ? width : 256, height ? height : 256, bits,
                verdict);
  }
  ::FreeLibrary(module);
  return allSame ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf(
        "usage: uidriver wait|wait-hidden|gone|count|describe|click|dismiss|check|extent|close|"
        "endsession|post|resources|icon "
        "TITLE "
        "[TEXT|MS|0/1] [MS]\n");
    return 2;
  }
  const std::wstring command = argv[1], title = argv[2];
  const auto number = [&](int index, DWORD fallback) {
    return argc > index ? DWORD(std::wcstoul(argv[index], nullptr, 10)) : fallback;
  };

  if (command == L"resources") return describeResources(argv[2]);
  if (command == L"icon") return argc > 3 ? compareIcon(argv[2], argv[3]) : 2;
  if (command == L"wait" || command == L"wait-hidden") {
    HWND window = waitForWindow(title, number(3, 10000), command == L"wait");
    if (!window) return fail("timeout");
    std::printf("found\n");
    return 0;
  }
  if (command == L"gone") {
    const ULONGLONG deadline = ::GetTickCount64() + number(3, 10000);
    while (!topLevelWindows(title, false).empty()) {
      if (::GetTickCount64() >= deadline) return fail("still there");
      ::Sleep(50);
    }
    std::printf("gone\n");
    return 0;
  }
  if (command == L"count") {
    std::printf("%zu\n",
                topLevelWindows(title, argc > 3 && std::wstring(argv[3]) == L"visible").size());
    return 0;
  }

  // The remaining commands act on a window that must appear within the deadline.
  const bool hiddenToo = command == L"close" || command == L"endsession" || command == L"post";
  HWND window = waitForWindow(title, 10000, !hiddenToo);
  if (!window) return fail("no such window");

  if (command == L"describe") {
    describe(window);
    return 0;
  }
  if (command == L"close") {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    std::printf("closed\n");
    return 0;
  }
  if (command == L"endsession") {
    // What the window system sends when the session ends (1) or a shutdown is cancelled (0).
    const BOOL ending = number(3, 1) != 0;
    DWORD_PTR answer = 0;
    if (ending) {
      ::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                            5000, &answer);
    }
    ::PostMessageW(window, WM_ENDSESSION, ending, ENDSESSION_LOGOFF);
    std::printf("sent\n");
    return 0;
  }
  if (argc < 4) return fail("missing control text or message name");
  if (command == L"post") {
    // A registered message, as another program of the suite posts it.
    ::PostMessageW(window, ::RegisterWindowMessageW(argv[3]), 0, 0);
    std::printf("posted\n");
    return 0;
  }
  HWND control = findChild(window, argv[3]);
  if (!control) return fail("no such control");
  if (command == L"check") {
    std::printf("%d\n", ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    return 0;
  }
  if (command == L"extent") {
    // The size the control's text takes in the dialog font the layouts are drawn for, MS Shell
    // Dlg 8 pt at the window's DPI (the control's own font handle means nothing in this
    // process): a label's text wrapped at the label's width, as it draws it, any other on one
    // line.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32"), "GetDpiForWindow")));
    HDC dc = ::GetDC(control);
    const int dpi =
        getDpiForWindow ? int(getDpiForWindow(window)) : ::GetDeviceCaps(dc, LOGPIXELSY);
    LOGFONTW logFont{};
    logFont.lfHeight = -::MulDiv(8, dpi, 72);
    logFont.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(logFont.lfFaceName, L"MS Shell Dlg", LF_FACESIZE);
    const HFONT font = ::CreateFontIndirectW(&logFont);
    const HGDIOBJ previous = ::SelectObject(dc, font);
    const std::wstring text = textOf(control);
    RECT client;
    ::GetClientRect(control, &client);
    const bool label = classOf(control) == L"Static";
    RECT needed{0, 0, label ? client.right : 0, 0};
    ::DrawTextW(dc, text.c_str(), -1, &needed,
                DT_CALCRECT | (label ? DT_WORDBREAK | DT_EXPANDTABS : DT_SINGLELINE));
    ::SelectObject(dc, previous);
    ::DeleteObject(font);
    ::ReleaseDC(control, dc);
    std::printf("%ld x %ld\n", needed.right - needed.left, needed.bottom - needed.top);
    return 0;
  }
  if (command == L"click" || command == L"dismiss") {
    // Posted, not sent: the click may open a modal box, and the driver must not wait in it.
    const LONG style = ::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    if (style == BS_AUTOCHECKBOX || style == BS_CHECKBOX) {
      ::PostMessageW(control, BM_CLICK, 0, 0);
    } else {
      ::PostMessageW(::GetParent(control), WM_COMMAND,
                     MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
    }
    if (command == L"dismiss") {
      // The box is dismissed once its window is gone; a box that follows is another window.
      const ULONGLONG deadline = ::GetTickCount64() + 10000;
      while (::IsWindow(window)) {
        if (::GetTickCount64() >= deadline) return fail("still open");
        ::Sleep(50);
      }
    }
    std::printf("clicked\n");
    return 0;
  }
  std::printf("unknown command\n");
  return 2;
}
