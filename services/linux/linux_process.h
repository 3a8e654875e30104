// The running program on Linux: its folder and arguments, the one-copy-per-session test,
// starting a program of the suite by its full path, and the end.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "services/linux/meeting_place.h"
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
// the errno when it cannot be started. A `setting` (NAME=value) is made in its environment on
// top of ours.
StartedProgram spawnProgram(const std::string& path, const std::vector<std::string>& arguments,
                            const std::string& setting = {});

// Waits until the descriptor is readable (a pidfd: until its program has ended) or the deadline
// passes; false at the deadline.
bool readableBefore(int fd, std::chrono::steady_clock::time_point deadline);

// Waits for the program to end, up to the timeout (kUntilItEnds: for as long as it takes);
// returns its wait status once it has ended and been reaped, or -1 when it still runs.
inline constexpr std::chrono::milliseconds kUntilItEnds{-1};
int waitForProgram(StartedProgram& program, std::chrono::milliseconds timeout);

// How a program finds the session its copies are told apart by: findLoginSession (which links
// libsystemd) for traywatch, whose copies meet.
using SessionFinder = LoginSession (*)();

class LinuxProcess final : public Process {
 public:
  // Programs that never meet their copies leave the finder out, and link no bus library.
  LinuxProcess(int argc, char** argv, SessionFinder findSession = &sessionFromEnvironment);
  LinuxProcess(const LinuxProcess&) = delete;
  LinuxProcess& operator=(const LinuxProcess&) = delete;

  std::wstring programFolder() override;
  PathStyle pathStyle() const override { return kLinuxPaths; }
  // The arguments after the program's name, joined with one blank: `traypop F G` reads "F G",
  // as the same command line does on Windows.
  std::wstring commandLine() override;
  // One copy per program and logind session: the copy that holds the lock in the user's
  // meeting place is the first. Raises ServiceError when the user has no such place, since
  // copies could then not keep apart.
  bool previousInstance() override;
  bool fileExists(const std::wstring& path) override;
  // The window style has no meaning here: the suite's started programs show no window. A
  // program is ready when it says so as it would to a service manager (READY=1 to
  // $NOTIFY_SOCKET).
  void startProgram(const ProgramStart& start) override;
  // The first copy takes its names in the meeting place along (see leavePlace).
  [[noreturn]] void endProgram() override;

  // The file name of the running program.
  std::string programName();
  // Where this copy met the others, once previousInstance has found it the first; else none.
  const MeetingPlace* meetingPlace() const { return instanceLock_ && place_ ? &*place_ : nullptr; }

  // Reaps the started programs that have ended, so that none stays a zombie while this program
  // runs on. Called before each start and whenever a child ends (SIGCHLD).
  void reapEndedPrograms();

 private:
  std::string programPath();

  std::vector<std::string> arguments_;
  SessionFinder findSession_;
  std::string programPath_;
  std::vector<StartedProgram> running_;  // started, not yet reaped
  std::optional<MeetingPlace> place_;
  UniqueFd instanceLock_;
  bool alreadyThere_ = false;
};

}  // namespace zelvo::linux_os
