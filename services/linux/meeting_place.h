// Where the copies of a program that run for one user meet: the user's runtime folder
// ($XDG_RUNTIME_DIR), or, without one, a private folder of the user's own in the cache folder
// (as GLib falls back). A waiting traywatch keeps its lock file and the socket of its quiet stop
// there, named after the program and the logind session, so copies in other sessions are their
// own.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <optional>
#include <string>
#include <string_view>

#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

struct MeetingPlace {
  std::string folderPath;
  UniqueFd folder;       // held open, so that a path of any length can be reached through it
  std::string baseName;  // zelvo-cd-traywatch-session-3
  std::string name(std::string_view ending) const { return baseName + std::string(ending); }
};

// The place for this program, or none when no folder can be had that only this user can enter.
std::optional<MeetingPlace> meetingPlace(std::string_view programName);

// The address of a socket in the place. A Unix socket's path holds at most 107 bytes; a longer
// one is reached through the descriptor of the folder (/proc/self/fd/N/name).
sockaddr_un socketAddress(const MeetingPlace& place, std::string_view ending);

// The program's lock in the place: the first copy holds it for as long as it runs (it goes with
// the process, however that ends). Gives the descriptor that holds it, or none, with
// `heldElsewhere` set when another copy holds it.
UniqueFd takeLock(const MeetingPlace& place, bool& heldElsewhere);
// Whether a copy holds the lock. Only looks: taking it, even for a moment, could make a copy
// that starts just then believe itself the second.
bool lockHeld(const MeetingPlace& place);

}  // namespace zelvo::linux_os
