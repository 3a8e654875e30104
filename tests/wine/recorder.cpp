// Stands in for traypop in the end-to-end tests: appends one line to record.txt beside itself
// with what it was given (its current folder, its argument text, the window style it was asked
// for), so that a test can see exactly how a launcher started it.
#include <windows.h>

#include <string>

#include "services/text.h"
#include "services/win32/win32_process.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t folder[MAX_PATH] = L"";
  ::GetCurrentDirectoryW(MAX_PATH, folder);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  const bool styled = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
  const std::wstring line = std::wstring(folder) + L"|" + zelvo::argumentText(::GetCommandLineW()) +
                            L"|" + (styled ? std::to_wstring(startup.wShowWindow) : L"none") +
                            L"\r\n";
  const std::wstring record =
      zelvo::joinPath(zelvo::folderOf(zelvo::win32::modulePath()), L"record.txt");
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string utf8(size_t(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), utf8.data(), size, nullptr,
                        nullptr);
  // Copies started together take turns: the file is opened without sharing, so a copy that
  // opened it while another had it open would lose its line.
  const zelvo::win32::UniqueHandle turn(::CreateMutexW(nullptr, FALSE, L"ZelvoCD.Recorder"));
  if (!turn || ::WaitForSingleObject(turn.get(), 10000) == WAIT_TIMEOUT) return 1;
  {
    // CreateFileW marks failure with INVALID_HANDLE_VALUE, not null: test before owning it.
    const HANDLE opened = ::CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return 1;
    const zelvo::win32::UniqueHandle file(opened);
    DWORD written = 0;
    ::WriteFile(file.get(), utf8.data(), DWORD(utf8.size()), &written, nullptr);
  }
  ::ReleaseMutex(turn.get());
  return 0;
}
