#include "services/linux/ready_start.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace zelvo::linux_os {
namespace {

// The environment's variable that names where a started program says that it is ready.
constexpr std::string_view kNotifyVariable = "NOTIFY_SOCKET=";

// A datagram socket at a free name in the abstract namespace (no file, no path to outgrow),
// where a started program says that it is ready, as it would to its service manager; `setting`
// gets the NOTIFY_SOCKET=@... that names it.
UniqueFd readinessSocket(std::string& setting) {
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
  setting = kNotifyVariable;
  setting += '@';  // the abstract namespace
  setting.append(address.sun_path + 1, length - sizeof(sa_family_t) - 1);
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

StartedProgram spawnWhenReady(const std::string& path, const std::vector<std::string>& arguments,
                              std::chrono::milliseconds timeout) {
  std::string setting;
  const UniqueFd readiness = readinessSocket(setting);
  if (!readiness) return spawnProgram(path, arguments);
  // Ours, with NOTIFY_SOCKET set on top (in place of ours, if we have one).
  std::vector<char*> environment{setting.data()};
  for (char** entry = environ; *entry; ++entry) {
    if (!std::string_view(*entry).starts_with(kNotifyVariable)) environment.push_back(*entry);
  }
  environment.push_back(nullptr);
  StartedProgram program = spawnProgram(path, arguments, environment.data());
  waitUntilReady(program, readiness.get(), timeout);
  return program;
}

}  // namespace zelvo::linux_os
