#include "services/win32/win32_watcher.h"

#include <windows.h>

#include <string>
#include <vector>

#include "services/form_design.h"
#include "services/win32/unique_any.h"
#include "services/win32/win32_form.h"
#include "services/win32/win32_process.h"

namespace zelvo::win32 {
namespace {

// How long a stopped traywatch may take to go.
constexpr DWORD kStopDeadlineMs = 5000;

}  // namespace

bool Win32Watcher::isWaiting() {
  const std::wstring name = instanceMutexName(std::wstring(kWatcherProgram) + L".exe");
  return static_cast<bool>(UniqueHandle(::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str())));
}

bool Win32Watcher::stopQuietly() {
  const UINT quietStop = ::RegisterWindowMessageW(kQuietStopMessage);
  const std::wstring windowClass = launcherWindowClass(kWatcherProgram);
  // Every copy's hidden window in this session (a refusing second copy ends just the same),
  // all found before any of them goes.
  std::vector<HWND> windows;
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, windowClass.c_str(), nullptr)) != nullptr) {
    windows.push_back(window);
  }
  std::vector<UniqueHandle> processes;
  for (HWND found : windows) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(found, &processId);
    UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (::PostMessageW(found, quietStop, 0, 0) && process) processes.push_back(std::move(process));
  }
  const ULONGLONG deadline = ::GetTickCount64() + kStopDeadlineMs;
  for (const UniqueHandle& process : processes) {
    const ULONGLONG now = ::GetTickCount64();
    ::WaitForSingleObject(process.get(), now < deadline ? static_cast<DWORD>(deadline - now) : 0);
  }
  return !isWaiting();
}

}  // namespace zelvo::win32
