#include "services/linux/linux_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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

// A datagram socket at a free name in the abstract namespace (no file, no path to outgrow),
// where a started program says that it is ready, as it would to its service manager.
UniqueFd readinessSocket(std::string& notifyAddress) {
  UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  const int passCredentials = 1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socklen_t length = sizeof(sa_family_t);  // the kernel picks the name
  if (!socket ||
      ::setsockopt(socket.get(), SOL_SOCKET, SO_PASSCRED, &passCredentials,
                   sizeof passCredentials) != 0 ||
      ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    return {};
  }
  length = sizeof address;
  if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      length <= sizeof(sa_family_t) + 1) {
    return {};
  }
  notifyAddress = "@" + std::string(address.sun_path + 1, length - sizeof(sa_family_t) - 1);
  return socket;
}

// Whether a datagram waiting on the socket is the program's own READY=1.
bool saysReady(int socket, pid_t program) {
  char text[256];
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
  iovec part{text, sizeof text - 1};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t length = ::recvmsg(socket, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  if (length <= 0) return false;
  text[length] = '\0';
  const cmsghdr* header = CMSG_FIRSTHDR(&message);
  if (!header || header->cmsg_type != SCM_CREDENTIALS) return false;
  ucred sender{};
  std::memcpy(&sender, CMSG_DATA(header), sizeof sender);
  const std::string_view said(text, static_cast<size_t>(length));
  return sender.pid == program &&
         (said.starts_with("READY=1") || said.find("\nREADY=1") != std::string_view::npos);
}

// Waits until the program is ready or has ended, up to the timeout.
void waitUntilReady(const StartedProgram& program, int readiness,
                    std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  pollfd waits[] = {{readiness, POLLIN, 0}, {program.pidfd.get(), POLLIN, 0}};
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;
    const int ready = ::poll(waits, program.pidfd ? 2 : 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) return;
    if (ready > 0 && ((waits[1].revents & POLLIN) || saysReady(readiness, program.pid))) return;
  }
}

}  // namespace

StartedProgram spawnProgram(const std::string& path, const std::vector<std::string>& arguments,
                            const std::string& setting) {
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
  // Ours, with the one variable set on top (in place of ours of that name).
  std::vector<char*> envp;
  if (!setting.empty()) envp.push_back(const_cast<char*>(setting.c_str()));
  const std::string_view settingName = setting.substr(0, setting.find('=') + 1);
  for (char** entry = environ; *entry; ++entry) {
    if (setting.empty() || !std::string_view(*entry).starts_with(settingName)) {
      envp.push_back(static_cast<char*>(*entry));
    }
  }
  envp.push_back(nullptr);

  StartedProgram started;
  const int error = ::posix_spawn(&started.pid, path.c_str(), actions.get(), attributes.get(),
                                  argv.data(), envp.data());
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

LinuxProcess::LinuxProcess(int argc, char** argv, SessionFinder findSession)
    : findSession_(findSession) {
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

std::string LinuxProcess::programName() {
  const std::string path = programPath();
  return path.substr(path.rfind('/') + 1);
}

bool LinuxProcess::previousInstance() {
  if (instanceLock_ || alreadyThere_) return alreadyThere_;
  if (!place_) place_ = linux_os::meetingPlace(programName(), findSession_());
  if (!place_) throw ServiceError(EACCES);
  instanceLock_ = takeLock(*place_, alreadyThere_);
  if (!instanceLock_ && !alreadyThere_) throw ServiceError(static_cast<unsigned long>(errno));
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
  std::string notifyAddress;
  const UniqueFd readiness =
      start.waitUntilReady.count() > 0 ? readinessSocket(notifyAddress) : UniqueFd();
  StartedProgram program = spawnProgram(toBytes(start.applicationPath), arguments,
                                        readiness ? "NOTIFY_SOCKET=" + notifyAddress : "");
  if (readiness) waitUntilReady(program, readiness.get(), start.waitUntilReady);
  if (start.waitForExit.count() > 0 && waitForProgram(program, start.waitForExit) != -1) return;
  running_.push_back(std::move(program));
}

void LinuxProcess::endProgram() {
  if (place_) leavePlace(*place_, instanceLock_);
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
