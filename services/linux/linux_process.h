// The running program on Linux: its folder and arguments, the one-copy-per-session test,
// starting a program of the suite by its full path, and the end.
#pragma once

#include <sys/types.h>
#include <unistd.h>  // environ

#include <chrono>
#include <span>
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
// and no descriptor of ours beyond standard input, output and error, with this environment
// (ours unless given). Raises ServiceError with the errno when it cannot be started.
StartedProgram spawnProgram(const std::string& path, const std::vector<std::string>& arguments,
                            char* const* environment = environ);

// Waits until the descriptor is readable (a pidfd: until its program has ended) or the deadline
// passes; false at the deadline.
bool readableBefore(int fd, std::chrono::steady_clock::time_point deadline);

// Waits for the program to end, up to the timeout (kUntilItEnds: for as long as it takes);
// returns its wait status once it has ended and been reaped, or -1 when it still runs.
inline constexpr std::chrono::milliseconds kUntilItEnds{-1};
int waitForProgram(StartedProgram& program, std::chrono::milliseconds timeout);

// How a program whose copies meet tells whether another copy runs (Process::previousInstance),
// and what its first copy takes along at its end: SessionCopy (session_copy.h, one copy per
// logind session) for traywatch. The other programs never ask.
class CopyCheck {
 public:
  virtual ~CopyCheck() = default;
  // Raises ServiceError when there is no way to tell.
  virtual bool anotherCopyRuns(const std::string& programName) = 0;
  // Runs as the program ends, at once.
  virtual void leave() = 0;
};

// How a program starts a program that it waits for until it is ready
// (ProgramStart::waitUntilReady): spawnWhenReady (ready_start.h) for konfigurator, which waits
// for the traywatch it starts.
using ReadyStart = StartedProgram (*)(const std::string& path,
                                      const std::vector<std::string>& arguments,
                                      std::chrono::milliseconds timeout);

// The parts of a process that only some programs need, each given by the main of a program
// that needs it, so that the other programs carry none of its code (nor, for the copy check,
// the bus library it asks logind through).
struct ProcessParts {
  CopyCheck* copies = nullptr;
  ReadyStart startWhenReady = nullptr;
};

class LinuxProcess final : public Process {
 public:
  LinuxProcess(int argc, char** argv, ProcessParts parts = {});
  LinuxProcess(const LinuxProcess&) = delete;
  LinuxProcess& operator=(const LinuxProcess&) = delete;

  std::wstring programFolder() override;
  PathStyle pathStyle() const override { return kLinuxPaths; }
  // The arguments after the program's name, joined with one blank: `traypop F G` reads "F G",
  // as the same command line does on Windows.
  std::wstring commandLine() override;
  // As the copy check given tells; raises ServiceError in a program whose main gave none.
  bool previousInstance() override;
  bool fileExists(const std::wstring& path) override;
  // The window style has no meaning here: the suite's started programs show no window. A start
  // that waits until the program is ready raises ServiceError in a program whose main gave no
  // way to wait.
  void startProgram(const ProgramStart& start) override;
  // The copy check given takes along what the first copy leaves (see SessionCopy::leave).
  [[noreturn]] void endProgram() override;

  // The file name of the running program.
  std::string programName();

  // Reaps the started programs that have ended, so that none stays a zombie while this program
  // runs on. Called before each start and whenever a child ends (SIGCHLD).
  void reapEndedPrograms();

 private:
  const std::string& programPath();

  std::span<char*> arguments_;  // main's, after the program's name
  ProcessParts parts_;
  std::string programPath_;
  std::vector<StartedProgram> running_;  // started, not yet reaped
};

}  // namespace zelvo::linux_os
