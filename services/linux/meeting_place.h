// Where the copies of a program that run for one user meet: the user's runtime folder
// ($XDG_RUNTIME_DIR), or, without one, a private folder of the user's own in the cache folder
// (as GLib falls back). A waiting traywatch keeps its lock file and the socket of its quiet stop
// there, named after the program and its logind session (see login_session.h), so copies in
// other sessions are their own.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <optional>
#include <string>

#include "services/linux/login_session.h"
#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

// The endings of the names a copy keeps in the place: its lock, and the socket of the quiet stop
// (see quiet_stop.h).
inline constexpr char kLockEnding[] = ".lock";
inline constexpr char kQuietStopEnding[] = ".stop";

struct MeetingPlace {
  std::string folderPath;
  UniqueFd folder;       // held open, so that a path of any length can be reached through it
  std::string baseName;  // zelvo-cd-traywatch-session-3
  LoginSession session;  // the session the names are keyed by
  std::string name(const char* ending) const { return baseName + ending; }
};

// The place for this program in this session, or none when no folder can be had that only this
// user can enter.
std::optional<MeetingPlace> meetingPlace(const std::string& programName, LoginSession session);

// The address of a socket in the place. A Unix socket's path holds at most 107 bytes; a longer
// one is reached through the descriptor of the folder (/proc/self/fd/N/name).
sockaddr_un socketAddress(const MeetingPlace& place, const char* ending);

// The program's lock in the place: the first copy holds it for as long as it runs (it goes with
// the process, however that ends). Gives the descriptor that holds it, or none, with
// `heldElsewhere` set when another copy holds it.
UniqueFd takeLock(const MeetingPlace& place, bool& heldElsewhere);
// Whether a copy holds the lock. Only looks: taking it, even for a moment, could make a copy
// that starts just then believe itself the second.
bool lockHeld(const MeetingPlace& place);
// Removes the names of the copy that holds this lock (its socket, then its lock file), while it
// still holds it, so that a copy that ends cleanly leaves nothing behind: the cache folder, unlike
// a runtime folder, is never emptied at logout. Names that are no longer the lock's own file's
// (removed and made anew by hand) belong to another copy and stay.
void leavePlace(const MeetingPlace& place, const UniqueFd& lock);

}  // namespace zelvo::linux_os
