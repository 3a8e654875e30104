#include "services/linux/linux_watcher.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

#include "services/linux/quiet_stop.h"
#include "services/linux/unique_any.h"
#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

// How long a stopped traywatch may take to go.
constexpr std::chrono::milliseconds kStopDeadline{5000};

// A connection to the waiting copy, or none.
UniqueFd connectToWatcher() {
  sockaddr_un address;
  if (!quietStopAddress(toBytes(kWatcherProgram), address)) return {};
  UniqueFd connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!connection || ::connect(connection.get(), reinterpret_cast<const sockaddr*>(&address),
                               sizeof address) != 0) {
    return {};
  }
  return connection;
}

}  // namespace

bool LinuxWatcher::isWaiting() {
  return static_cast<bool>(connectToWatcher());
}

bool LinuxWatcher::stopQuietly() {
  const UniqueFd connection = connectToWatcher();
  if (!connection) return true;
  if (::send(connection.get(), kQuietStopRequest, sizeof kQuietStopRequest - 1, MSG_NOSIGNAL) < 0) {
    return !isWaiting();
  }
  // The waiting copy never answers: its end closes the connection, and that is the answer.
  const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
  pollfd gone{connection.get(), POLLIN, 0};
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    if (::poll(&gone, 1, static_cast<int>(left.count())) >= 0 || errno != EINTR) break;
  }
  return !isWaiting();
}

}  // namespace zelvo::linux_os
