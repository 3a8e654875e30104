#include "services/linux/linux_watcher.h"

#include <sys/inotify.h>
#include <sys/socket.h>

#include <chrono>

#include "services/linux/linux_process.h"
#include "services/linux/meeting_place.h"
#include "services/linux/quiet_stop.h"
#include "services/linux/unique_any.h"
#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

using Clock = std::chrono::steady_clock;

// How long a stopped traywatch may take to go.
constexpr std::chrono::milliseconds kStopDeadline{5000};

// A connection to the copy that listens, or none.
UniqueFd connectToWatcher(const MeetingPlace& place) {
  const sockaddr_un address = socketAddress(place, kQuietStopEnding);
  UniqueFd connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!connection || ::connect(connection.get(), reinterpret_cast<const sockaddr*>(&address),
                               sizeof address) != 0) {
    return {};
  }
  return connection;
}

}  // namespace

const MeetingPlace* LinuxWatcher::place() {
  if (!looked_) place_ = meetingPlace(toBytes(kWatcherProgram), findLoginSession());
  looked_ = true;
  return place_ ? &*place_ : nullptr;
}

bool LinuxWatcher::isWaiting() {
  const MeetingPlace* place = this->place();
  return place && (lockHeld(*place) || connectToWatcher(*place));
}

bool LinuxWatcher::stopQuietly() {
  const MeetingPlace* place = this->place();
  if (!place) return true;  // without a place no copy waits: it refuses to start
  const Clock::time_point deadline = Clock::now() + kStopDeadline;
  // Watched before anything is looked at, so that no change between a look and the wait is
  // missed: a socket made (a starting copy listens), a lock file closed or removed (a copy
  // ended).
  const UniqueFd changes(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
  if (changes) {
    ::inotify_add_watch(changes.get(), place->folderPath.c_str(),
                        IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE);
  }
  while (Clock::now() < deadline) {
    if (const UniqueFd connection = connectToWatcher(*place)) {
      // The copy never answers: its end closes the connection, and that is the answer.
      if (::send(connection.get(), kQuietStopRequest, sizeof kQuietStopRequest - 1, MSG_NOSIGNAL) >
          0) {
        readableBefore(connection.get(), deadline);
      }
      continue;
    }
    if (!lockHeld(*place)) return true;
    // Held, but no one listens: a copy that is just starting, or just ending.
    if (!changes || !readableBefore(changes.get(), deadline)) break;
    char events[4096];
    while (::read(changes.get(), events, sizeof events) > 0) {
    }
  }
  return !isWaiting();
}

}  // namespace zelvo::linux_os
