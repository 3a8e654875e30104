// The running program and the programs it starts: its folder, its command line, whether another
// copy already runs, starting a program of the suite, and the end.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "services/service_error.h"

namespace zelvo {

// Window style for a started program: minimized, with the focus (SW_SHOWMINIMIZED).
inline constexpr int kShowMinimized = 2;
// As the shell starts a program by its start-up entry (SW_SHOWNORMAL).
inline constexpr int kShowNormal = 1;

// How a platform writes a program file's path: the folder separator and the ending of a
// program's file name.
struct PathStyle {
  wchar_t separator;
  std::wstring_view programSuffix;
};
inline constexpr PathStyle kWindowsPaths{L'\\', L".exe"};
inline constexpr PathStyle kLinuxPaths{L'/', L""};

struct ProgramStart {
  std::wstring applicationPath;  // full path of the program file, never searched for
  std::wstring argumentText;     // what the started program reads as its command line
  int windowStyle = kShowMinimized;
  // How long to wait for the started program to end before returning; zero returns at once.
  std::chrono::milliseconds waitForExit{0};
  // How long to wait for the started program to be ready (to have made its window and to wait
  // for events) or to end, whichever comes first; zero returns at once.
  std::chrono::milliseconds waitUntilReady{0};
};

class Process {
 public:
  virtual ~Process() = default;

  // Folder of the running executable, without a trailing separator except at a drive root.
  virtual std::wstring programFolder() = 0;
  virtual PathStyle pathStyle() const = 0;
  // The text that follows the program's name on its command line.
  virtual std::wstring commandLine() = 0;
  // True when another copy of this same program is already running in the session. Raises
  // ServiceError when the platform has no way to tell.
  virtual bool previousInstance() = 0;
  // Whether a file is there (a program of the suite, the guide page).
  virtual bool fileExists(const std::wstring& path) = 0;

  // Starts a program without waiting for it (beyond start.waitForExit); raises ServiceError
  // when it cannot be started. The program starts in its own folder.
  virtual void startProgram(const ProgramStart& start) = 0;

  // Ends the process at once; no further handler runs, not even the unload handler.
  [[noreturn]] virtual void endProgram() = 0;
};

// The full path of a program of the suite that lies beside this one, named without its ending
// ("traypop"): one separator between folder and name, none doubled at a drive root.
std::wstring programBesideUs(Process& process, std::wstring_view programName);

// Runs body and ends the program quietly if anything escapes it: no exception may leave a
// window procedure, a C library's callback or the program's entry point.
template <typename Body>
void runGuarded(Process& process, Body&& body) noexcept {
  try {
    body();
  } catch (...) {
    process.endProgram();
  }
}

}  // namespace zelvo
