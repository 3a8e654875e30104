#include "services/linux/linux_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>  // PATH_MAX

#include "services/linux/pidfd.h"
#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

std::string folderOfPath(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash == 0 ? 1 : slash);
}

// Owners of the spawn descriptions, which hold memory until they are destroyed.
class SpawnActions {
 public:
  SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { ::posix_spawnattr_init(&attributes_); }
  ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  posix_spawnattr_t* get() { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

// Full path of the running executable. The kernel writes the link's text into a buffer of
// PATH_MAX bytes before it hands it over (a longer path fails with ENAMETOOLONG), so one of that
// size always holds it whole.
std::string executablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length < 0) throw ServiceError(static_cast<unsigned long>(errno));
  return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace

StartedProgram spawnProgram(const std::string& path, const std::vector<std::string>& arguments,
                            char* const* environment) {
  SpawnActions actions;
  // In its own folder, not in ours, and with nothing of ours open but the standard three, even
  // what a parent of ours left open without close-on-exec.
  const std::string folder = folderOfPath(path);
  ::posix_spawn_file_actions_addchdir_np(actions.get(), folder.c_str());
  ::posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1);
  // The event loop blocks the signals it takes through its descriptors; a blocked mask would
  // survive the exec and leave the started program deaf to SIGTERM.
  SpawnAttributes attributes;
  sigset_t noSignals;
  ::sigemptyset(&noSignals);
  ::posix_spawnattr_setsigmask(attributes.get(), &noSignals);
  ::posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  StartedProgram started;
  const int error = ::posix_spawn(&started.pid, path.c_str(), actions.get(), attributes.get(),
                                  argv.data(), environment);
  if (error != 0) throw ServiceError(static_cast<unsigned long>(error));
  // Not yet reaped, so the process id still names our child.
  started.pidfd.reset(::pidfd_open(started.pid, 0));
  return started;
}

bool readableBefore(int fd, std::chrono::steady_clock::time_point deadline) {
  pollfd wait{fd, POLLIN, 0};
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const int ready = ::poll(&wait, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

int waitForProgram(StartedProgram& program, std::chrono::milliseconds timeout) {
  const bool forever = timeout.count() < 0;
  // The pidfd turns readable when the program ends. Without one (a kernel before 5.3) there is
  // nothing to poll: waitpid itself waits, when the wait has no end, and otherwise reaps the
  // program only if it has already ended.
  if (program.pidfd && !forever) {
    readableBefore(program.pidfd.get(), std::chrono::steady_clock::now() + timeout);
  }
  int status = 0;
  return ::waitpid(program.pid, &status, forever ? 0 : WNOHANG) == program.pid ? status : -1;
}

LinuxProcess::LinuxProcess(int argc, char** argv, ProcessParts parts)
    : arguments_(argv, static_cast<size_t>(argc)), parts_(parts) {
  if (!arguments_.empty()) arguments_ = arguments_.subspan(1);  // past the program's name
}

const std::string& LinuxProcess::programPath() {
  if (programPath_.empty()) programPath_ = executablePath();
  return programPath_;
}

std::wstring LinuxProcess::programFolder() {
  return fromBytes(folderOfPath(programPath()));
}

std::wstring LinuxProcess::commandLine() {
  std::string text;
  for (const char* argument : arguments_) {
    if (!text.empty()) text += ' ';
    text += argument;
  }
  return fromBytes(text);
}

std::string LinuxProcess::programName() {
  const std::string& path = programPath();
  return path.substr(path.rfind('/') + 1);
}

bool LinuxProcess::previousInstance() {
  if (!parts_.copies) throw ServiceError(ENOTSUP);
  return parts_.copies->anotherCopyRuns(programName());
}

bool LinuxProcess::fileExists(const std::wstring& path) {
  struct stat status {};
  return ::stat(toBytes(path).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

void LinuxProcess::startProgram(const ProgramStart& start) {
  reapEndedPrograms();
  const bool untilReady = start.waitUntilReady.count() > 0;
  if (untilReady && !parts_.startWhenReady) throw ServiceError(ENOTSUP);
  std::vector<std::string> arguments;
  if (!start.argumentText.empty()) arguments.push_back(toBytes(start.argumentText));
  const std::string path = toBytes(start.applicationPath);
  StartedProgram program = untilReady ? parts_.startWhenReady(path, arguments, start.waitUntilReady)
                                      : spawnProgram(path, arguments);
  if (start.waitForExit.count() > 0 && waitForProgram(program, start.waitForExit) != -1) return;
  running_.push_back(std::move(program));
}

void LinuxProcess::endProgram() {
  if (parts_.copies) parts_.copies->leave();
  // At once: no handler, no destructor, no atexit function runs. The kernel releases what the
  // process held, the drive device among it, and the lock last.
  ::_exit(0);
}

void LinuxProcess::reapEndedPrograms() {
  std::erase_if(running_, [](const StartedProgram& program) {
    int status = 0;
    return ::waitpid(program.pid, &status, WNOHANG) != 0;  // reaped, or no longer ours
  });
}

}  // namespace zelvo::linux_os
