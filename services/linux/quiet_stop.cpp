#include "services/linux/quiet_stop.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "services/form_design.h"
#include "services/linux/linux_form.h"

namespace zelvo::linux_os {
namespace {

// How long a client has to send its request once connected.
constexpr uint64_t kRequestDeadlineUsec = 1'000'000;
constexpr size_t kRequestLength = sizeof kQuietStopRequest - 1;

}  // namespace

bool QuietStopListener::listen(sd_event* loop, const MeetingPlace& place) {
  const sockaddr_un address = socketAddress(place, kQuietStopEnding);
  socket_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket_) return false;
  const std::string name = place.name(kQuietStopEnding);
  ::unlinkat(place.folder.get(), name.c_str(), 0);
  // The folder is the user's alone; the socket is too.
  if (::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::fchmodat(place.folder.get(), name.c_str(), 0600, 0) != 0 ||
      ::listen(socket_.get(), 8) != 0) {
    return false;
  }
  return ::sd_event_add_io(loop, listening_.put(), socket_.get(), EPOLLIN,
                           &QuietStopListener::onConnection, this) >= 0;
}

void QuietStopListener::attach(sd_event* loop, const FormDesign& design, LinuxForm& form) {
  if (!design.acceptsQuietStop) return;
  process_ = &form.process();
  if (const MeetingPlace* place = copy_.place()) listen(loop, *place);
}

int QuietStopListener::onConnection(sd_event_source* source, int fd, uint32_t, void* listener) {
  auto* self = static_cast<QuietStopListener*>(listener);
  UniqueFd socket(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
  if (!socket) return 0;
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(socket.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
      peer.uid != ::geteuid()) {
    return 0;
  }
  sd_event* loop = ::sd_event_source_get_event(source);
  Connection& connection = self->connections_.emplace_back();
  connection.listener = self;
  connection.socket = std::move(socket);
  uint64_t now = 0;
  if (::sd_event_now(loop, CLOCK_MONOTONIC, &now) < 0 ||
      ::sd_event_add_io(loop, connection.readable.put(), connection.socket.get(), EPOLLIN,
                        &QuietStopListener::onRequest, &connection) < 0 ||
      ::sd_event_add_time(loop, connection.deadline.put(), CLOCK_MONOTONIC,
                          now + kRequestDeadlineUsec, 0, &QuietStopListener::onDeadline,
                          &connection) < 0) {
    self->drop(&connection);
  }
  return 0;
}

int QuietStopListener::onRequest(sd_event_source*, int fd, uint32_t, void* data) {
  auto* connection = static_cast<Connection*>(data);
  char text[kRequestLength];
  const ssize_t length = ::recv(fd, text, kRequestLength - connection->received, 0);
  if (length < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  // A konfigurator that only asks whether one waits sends nothing and hangs up; anything but
  // the request ends the connection too.
  if (length <= 0 || std::memcmp(text, kQuietStopRequest + connection->received,
                                 static_cast<size_t>(length)) != 0) {
    connection->listener->drop(connection);
    return 0;
  }
  connection->received += static_cast<size_t>(length);
  // Ends the program; the connection closes with it, which tells the asker it is gone.
  if (connection->received == kRequestLength) connection->listener->process_->endProgram();
  return 0;
}

int QuietStopListener::onDeadline(sd_event_source*, uint64_t, void* data) {
  auto* connection = static_cast<Connection*>(data);
  connection->listener->drop(connection);
  return 0;
}

void QuietStopListener::drop(const Connection* connection) {
  connections_.remove_if([connection](const Connection& held) { return &held == connection; });
}

}  // namespace zelvo::linux_os
