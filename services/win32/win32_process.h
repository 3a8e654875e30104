// The running program on Win32: its folder and command line, the previous-instance test, starting
// a program of the suite by its full path, and the end.
#pragma once

#include <windows.h>

#include <string>

#include "services/process.h"
#include "services/win32/unique_any.h"

namespace zelvo::win32 {

class Win32Process final : public Process {
 public:
  Win32Process() = default;
  Win32Process(const Win32Process&) = delete;
  Win32Process& operator=(const Win32Process&) = delete;

  std::wstring programFolder() override;
  PathStyle pathStyle() const override { return kWindowsPaths; }
  std::wstring commandLine() override;
  bool previousInstance() override;
  bool fileExists(const std::wstring& path) override;
  void startProgram(const ProgramStart& start) override;
  [[noreturn]] void endProgram() override;

 private:
  UniqueHandle instanceMutex_;
  bool alreadyThere_ = false;
};

// Full path of the running executable, however long.
std::wstring modulePath();

// The mutex that a running copy of the program file with this name holds in this logon session.
std::wstring instanceMutexName(std::wstring programFileName);

// The entry points and the window procedure guard their handlers as every platform does.
using zelvo::runGuarded;

}  // namespace zelvo::win32
