#include "services/linux/linux_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "services/linux/pidfd.h"
#include "services/linux/wide_text.h"

extern char** environ;

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

// A name part taken from the environment, kept only when it is plain enough for a file name.
bool isPlainName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
}

// Full path of the running executable.
std::string executablePath() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) throw ServiceError(static_cast<unsigned long>(errno));
    if (static_cast<size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<size_t>(length));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);  // possibly cut short: a long path
  }
}

}  // namespace

StartedProgram spawnProgram(const std::string& path, const std::vector<std::string>& arguments) {
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
                                  argv.data(), environ);
  if (error != 0) throw ServiceError(static_cast<unsigned long>(error));
  // Not yet reaped, so the process id still names our child.
  started.pidfd.reset(::pidfd_open(started.pid, 0));
  return started;
}

int waitForProgram(StartedProgram& program, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const bool forever = timeout.count() < 0;
  const Clock::time_point deadline = Clock::now() + timeout;
  // The pidfd turns readable when the program ends. Without one (a kernel before 5.3) there is
  // nothing to poll: waitpid itself waits, when the wait has no end, and otherwise reaps the
  // program only if it has already ended.
  while (program.pidfd) {
    int left = -1;
    if (!forever) {
      const auto remaining =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      left = static_cast<int>(std::max<decltype(remaining)>(remaining, 0));
    }
    pollfd ended{program.pidfd.get(), POLLIN, 0};
    const int ready = ::poll(&ended, 1, left);
    if (ready > 0 || left == 0 || (ready < 0 && errno != EINTR)) break;
  }
  int status = 0;
  const int options = forever && !program.pidfd ? 0 : WNOHANG;
  return ::waitpid(program.pid, &status, options) == program.pid ? status : -1;
}

LinuxProcess::LinuxProcess(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) arguments_.emplace_back(argv[i]);
}

std::string LinuxProcess::programPath() {
  if (programPath_.empty()) programPath_ = executablePath();
  return programPath_;
}

std::wstring LinuxProcess::programFolder() {
  return fromBytes(folderOfPath(programPath()));
}

std::wstring LinuxProcess::commandLine() {
  std::string text;
  for (const std::string& argument : arguments_) {
    if (!text.empty()) text += ' ';
    text += argument;
  }
  return fromBytes(text);
}

std::string sessionRuntimePath(const std::string& programName, const std::string& ending) {
  // The runtime folder is the user's own (mode 0700) and goes at the last logout, with what is
  // in it; without one there is no safe place to meet.
  const char* runtimeFolder = std::getenv("XDG_RUNTIME_DIR");
  if (!runtimeFolder || runtimeFolder[0] != '/') return {};
  std::string name = "zelvo-cd-" + programName;
  // Copies in other sessions of the same user wait for their own session's end; a program
  // started outside any session has one copy per user.
  const char* session = std::getenv("XDG_SESSION_ID");
  if (session && isPlainName(session)) name += std::string("-session-") + session;
  return std::string(runtimeFolder) + "/" + name + ending;
}

std::string LinuxProcess::programName() {
  const std::string path = programPath();
  return path.substr(path.rfind('/') + 1);
}

bool LinuxProcess::previousInstance() {
  if (instanceLock_) return alreadyThere_;
  // Without a place to meet, this copy counts as the first.
  const std::string lockPath = sessionRuntimePath(programName(), ".lock");
  if (lockPath.empty()) return false;
  instanceLock_.reset(
      ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600));
  if (!instanceLock_) return false;
  // The lock goes with the process, however it ends; the file itself may stay.
  alreadyThere_ = ::flock(instanceLock_.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  return alreadyThere_;
}

bool LinuxProcess::fileExists(const std::wstring& path) {
  struct stat status {};
  return ::stat(toBytes(path).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

void LinuxProcess::startProgram(const ProgramStart& start) {
  reapEndedPrograms();
  std::vector<std::string> arguments;
  if (!start.argumentText.empty()) arguments.push_back(toBytes(start.argumentText));
  StartedProgram program = spawnProgram(toBytes(start.applicationPath), arguments);
  if (start.waitForExit.count() > 0 && waitForProgram(program, start.waitForExit) != -1) return;
  running_.push_back(std::move(program));
}

void LinuxProcess::endProgram() {
  // At once: no handler, no destructor, no atexit function runs. The kernel releases what the
  // process held, the drive device among it.
  ::_exit(0);
}

void LinuxProcess::reapEndedPrograms() {
  std::erase_if(running_, [](const StartedProgram& program) {
    int status = 0;
    return ::waitpid(program.pid, &status, WNOHANG) != 0;  // reaped, or no longer ours
  });
}

}  // namespace zelvo::linux_os
