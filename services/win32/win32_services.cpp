#include "services/win32/win32_services.h"

#include <mmsystem.h>

#include <cwctype>
#include <vector>

#include "services/text.h"
#include "services/win32/no_critical_error_boxes.h"

namespace zelvo::win32 {
namespace {

std::wstring rootOf(const std::wstring& driveName) {
  return std::wstring(driveName.substr(0, 1)) + L":\\";
}

}  // namespace

std::wstring modulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length == 0) throw ServiceError(::GetLastError());
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);  // truncated: a long path
  }
}

int Win32Services::driveCount() {
  return window_ ? window_->driveCount() : 0;
}

std::wstring Win32Services::driveEntry(int index) {
  return window_ ? window_->driveEntry(index) : std::wstring();
}

unsigned Win32Services::driveType(const std::wstring& driveName) {
  // The documented form is the root path with its backslash.
  return ::GetDriveTypeW(rootOf(driveName).c_str());
}

void Win32Services::makeDriveCurrent(const std::wstring& driveName) {
  if (driveName.empty()) throw ServiceError(ERROR_INVALID_DRIVE);
  NoCriticalErrorBoxes quiet;
  if (!::SetCurrentDirectoryW(rootOf(driveName).c_str())) throw ServiceError(::GetLastError());
}

void Win32Services::processPendingEvents() {
  if (window_) window_->processPendingEvents();
}

void Win32Services::startProgram(const ProgramStart& start) {
  // The application is named by its full path, so Windows never searches for it; the command
  // line repeats it quoted so that the program finds its argument text after it.
  std::wstring commandLine = L"\"" + start.applicationPath + L"\"";
  if (!start.argumentText.empty()) commandLine += L" " + start.argumentText;
  // Started in its own folder, not in ours, which may be on the disc about to come out.
  const std::wstring folder = folderOf(start.applicationPath);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(start.windowStyle);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(start.applicationPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        0, nullptr, folder.empty() ? nullptr : folder.c_str(), &startup,
                        &started)) {
    throw ServiceError(::GetLastError());
  }
  UniqueHandle process(started.hProcess);
  UniqueHandle thread(started.hThread);
  if (start.waitForExit.count() > 0) {
    ::WaitForSingleObject(process.get(), static_cast<DWORD>(start.waitForExit.count()));
  }
}

std::wstring Win32Services::programFolder() {
  return folderOf(modulePath());
}

std::wstring Win32Services::commandLine() {
  return argumentText(::GetCommandLineW());
}

bool Win32Services::previousInstance() {
  if (!instanceMutex_) {
    // One name per program file in this logon session; the mutex lives as long as the process.
    std::wstring program = modulePath();
    program = program.substr(program.find_last_of(L'\\') + 1);
    for (auto& c : program) c = static_cast<wchar_t>(std::towlower(c));
    instanceMutex_.reset(::CreateMutexW(nullptr, FALSE, (L"Local\\Zelvo CD " + program).c_str()));
    if (!instanceMutex_) return false;
    alreadyThere_ = ::GetLastError() == ERROR_ALREADY_EXISTS;
  }
  return alreadyThere_;
}

void Win32Services::messageBox(const std::wstring& text, unsigned style,
                               const std::optional<std::wstring>& title) {
  const bool owned = window_ && window_->visible();
  const std::wstring& caption =
      title ? *title : (window_ ? window_->programTitle() : std::wstring());
  // A box from a program without a visible window must still come to the front.
  const UINT flags = owned ? style : style | MB_SETFOREGROUND;
  ::MessageBoxW(owned ? window_->handle() : nullptr, text.c_str(), caption.c_str(), flags);
}

void Win32Services::endProgram() {
  ::ExitProcess(0);
}

std::intptr_t Win32Services::windowHandle() {
  return window_ ? reinterpret_cast<std::intptr_t>(window_->handle()) : 0;
}

int Win32Services::checkState(int controlId) {
  return window_ ? window_->checkState(controlId) : 0;
}

void Win32Services::setCheckState(int controlId, int state) {
  if (window_) window_->setCheckState(controlId, state);
}

long Win32Services::sendDriveCommand(const std::wstring& command) {
  return static_cast<long>(::mciSendStringW(command.c_str(), nullptr, 0, nullptr));
}

void Win32Services::openInBrowser(const std::wstring& address) {
  if (window_) window_->openInBrowser(address);
}

}  // namespace zelvo::win32
