#include "services/linux/quiet_stop.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zelvo::linux_os {
namespace {

// How long the waiting copy waits for a request on a connection it has taken.
constexpr int kRequestDeadlineMs = 1000;

}  // namespace

bool QuietStopListener::listen(sd_event* loop, const std::string& programName,
                               std::function<void()> stop) {
  stop_ = std::move(stop);
  sockaddr_un address;
  if (!quietStopAddress(programName, address)) return false;
  const char* path = address.sun_path;
  socket_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket_) return false;
  // Only the copy that holds the program's lock listens: a socket found here is a gone copy's.
  ::unlink(path);
  // The runtime folder is the user's alone; the socket is too.
  if (::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::chmod(path, 0600) != 0 || ::listen(socket_.get(), 4) != 0) {
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
  // A konfigurator that only asks whether one waits sends nothing and hangs up.
  pollfd request{connection.get(), POLLIN, 0};
  char text[sizeof kQuietStopRequest] = {};
  if (::poll(&request, 1, kRequestDeadlineMs) == 1 &&
      ::recv(connection.get(), text, sizeof text - 1, 0) ==
          static_cast<ssize_t>(sizeof kQuietStopRequest - 1) &&
      std::strcmp(text, kQuietStopRequest) == 0) {
    // Ends the program; the connection closes with it, which tells the asker it is gone.
    static_cast<QuietStopListener*>(self)->stop_();
  }
  return 0;
}

}  // namespace zelvo::linux_os
