#include "services/win32/win32_process.h"

#include <cwctype>
#include <vector>

#include "services/text.h"

namespace zelvo::win32 {

std::wstring modulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length == 0) throw ServiceError(::GetLastError());
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);  // truncated: a long path
  }
}

std::wstring instanceMutexName(std::wstring programFileName) {
  for (auto& c : programFileName) c = static_cast<wchar_t>(std::towlower(c));
  return L"Local\\Zelvo CD " + programFileName;
}

std::wstring Win32Process::programFolder() {
  return folderOf(modulePath());
}

std::wstring Win32Process::commandLine() {
  return argumentText(::GetCommandLineW());
}

bool Win32Process::previousInstance() {
  if (!instanceMutex_) {
    // One name per program file in this logon session; the mutex lives as long as the process.
    const std::wstring program = modulePath();
    const std::wstring name = instanceMutexName(program.substr(program.find_last_of(L'\\') + 1));
    instanceMutex_.reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!instanceMutex_) return false;
    alreadyThere_ = ::GetLastError() == ERROR_ALREADY_EXISTS;
  }
  return alreadyThere_;
}

bool Win32Process::fileExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32Process::startProgram(const ProgramStart& start) {
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
  if (start.waitUntilReady.count() > 0) {
    // Returns once the program waits for its first messages, or at once for one that ended.
    ::WaitForInputIdle(process.get(), static_cast<DWORD>(start.waitUntilReady.count()));
  }
  if (start.waitForExit.count() > 0) {
    ::WaitForSingleObject(process.get(), static_cast<DWORD>(start.waitForExit.count()));
  }
}

void Win32Process::endProgram() {
  ::ExitProcess(0);
}

}  // namespace zelvo::win32
