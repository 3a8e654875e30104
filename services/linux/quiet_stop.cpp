#include "services/linux/quiet_stop.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

constexpr char kStopRequest[] = "stop\n";
// How long a stopped traywatch may take to go, and how long it waits for the request itself.
constexpr int kStopDeadlineMs = 5000;
constexpr int kRequestDeadlineMs = 1000;

bool isPlainName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
}

bool socketAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// A connection to the waiting copy, or none.
UniqueFd connectToWatcher() {
  sockaddr_un address;
  if (!socketAddress(quietStopSocketPath(toBytes(kWatcherProgram)), address)) return {};
  UniqueFd connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!connection || ::connect(connection.get(), reinterpret_cast<const sockaddr*>(&address),
                               sizeof address) != 0) {
    return {};
  }
  return connection;
}

}  // namespace

std::string quietStopSocketPath(const std::string& programName) {
  const char* runtimeFolder = std::getenv("XDG_RUNTIME_DIR");
  if (!runtimeFolder || runtimeFolder[0] != '/') return {};
  std::string name = "zelvo-cd-" + programName;
  const char* session = std::getenv("XDG_SESSION_ID");
  if (session && isPlainName(session)) name += std::string("-session-") + session;
  return std::string(runtimeFolder) + "/" + name + ".stop";
}

bool QuietStopListener::listen(sd_event* loop, const std::string& programName,
                               std::function<void()> stop) {
  stop_ = std::move(stop);
  const std::string path = quietStopSocketPath(programName);
  sockaddr_un address;
  if (!socketAddress(path, address)) return false;
  socket_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket_) return false;
  ::unlink(path.c_str());
  // The runtime folder is the user's alone; the socket is too.
  if (::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::chmod(path.c_str(), 0600) != 0 || ::listen(socket_.get(), 4) != 0) {
    return false;
  }
  return ::sd_event_add_io(loop, nullptr, socket_.get(), EPOLLIN, &QuietStopListener::onConnection,
                           this) >= 0;
}

int QuietStopListener::onConnection(sd_event_source*, int fd, uint32_t, void* self) {
  const UniqueFd connection(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC));
  if (!connection) return 0;
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(connection.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
      peer.uid != ::geteuid()) {
    return 0;
  }
  // A copy of konfigurator that only asks whether one waits sends nothing and hangs up.
  pollfd request{connection.get(), POLLIN, 0};
  char text[sizeof kStopRequest] = {};
  if (::poll(&request, 1, kRequestDeadlineMs) == 1 &&
      ::recv(connection.get(), text, sizeof text - 1, 0) ==
          static_cast<ssize_t>(sizeof kStopRequest - 1) &&
      std::strcmp(text, kStopRequest) == 0) {
    static_cast<QuietStopListener*>(self)->stop_();
  }
  return 0;
}

bool LinuxWatcher::isWaiting() {
  return static_cast<bool>(connectToWatcher());
}

bool LinuxWatcher::stopQuietly() {
  const UniqueFd connection = connectToWatcher();
  if (!connection) return true;
  if (::send(connection.get(), kStopRequest, sizeof kStopRequest - 1, MSG_NOSIGNAL) < 0) {
    return !isWaiting();
  }
  // The waiting copy never answers: its end closes the connection, and that is the answer.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopDeadlineMs);
  pollfd gone{connection.get(), POLLIN, 0};
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || ::poll(&gone, 1, static_cast<int>(left.count())) != -1 ||
        errno != EINTR) {
      break;
    }
  }
  return !isWaiting();
}

}  // namespace zelvo::linux_os
