// The running program on Linux: its folder and arguments, the one-copy-per-session test,
// starting a program of the suite by its full path, and the end.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "services/linux/unique_any.h"
#include "services/process.h"

namespace zelvo::linux_os {

// A started program, held by its pidfd, which names that one process for as long as it is open
// (a bare process id may already name another one once the program has been reaped).
struct StartedProgram {
  pid_t pid = 0;
  UniqueFd pidfd;
};

// Starts the program file at this full path (never searched for along PATH) with the arguments
// after its name, in the program's own folder, with the default signal mask and dispositions
// and no descriptor of ours beyond standard input, output and error. Raises ServiceError with
// the errno when it cannot be started.
StartedProgram spawnProgram(const std::string& path, const std::vector<std::string>& arguments);

// Waits for the program to end, up to the timeout (kUntilItEnds: for as long as it takes);
// returns its wait status once it has ended and been reaped, or -1 when it still runs.
inline constexpr std::chrono::milliseconds kUntilItEnds{-1};
int waitForProgram(StartedProgram& program, std::chrono::milliseconds timeout);

class LinuxProcess final : public Process {
 public:
  LinuxProcess(int argc, char** argv);
  LinuxProcess(const LinuxProcess&) = delete;
  LinuxProcess& operator=(const LinuxProcess&) = delete;

  std::wstring programFolder() override;
  PathStyle pathStyle() const override { return kLinuxPaths; }
  // The arguments after the program's name, joined with one blank: `traypop F G` reads "F G",
  // as the same command line does on Windows.
  std::wstring commandLine() override;
  // One copy per program and logind session: the copy that holds the lock file in the user's
  // runtime folder is the first.
  bool previousInstance() override;
  bool fileExists(const std::wstring& path) override;
  // The window style has no meaning here: the suite's started programs show no window.
  void startProgram(const ProgramStart& start) override;
  [[noreturn]] void endProgram() override;

  // The file name of the running program.
  std::string programName();

  // Reaps the started programs that have ended, so that none stays a zombie while this program
  // runs on. Called before each start and whenever a child ends (SIGCHLD).
  void reapEndedPrograms();

 private:
  std::string programPath();

  std::vector<std::string> arguments_;
  std::string programPath_;
  std::vector<StartedProgram> running_;  // started, not yet reaped
  UniqueFd instanceLock_;
  bool alreadyThere_ = false;
};

// Where the copy of a program that runs in this session keeps a file of its own (its lock, the
// socket of its quiet stop): in the user's runtime folder, named after the program and the
// session. Empty without a runtime folder.
std::string sessionRuntimePath(const std::string& programName, const std::string& ending);

}  // namespace zelvo::linux_os
