#include "services/linux/meeting_place.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "services/linux/home_folder.h"

namespace zelvo::linux_os {
namespace {

// A session id kept as it is in the names (as loginctl shows it) when it is plain enough for a
// file name and short enough that a socket path through the folder's descriptor always fits.
bool isPlainName(std::string_view name) {
  if (name.empty() || name.size() > 32) return false;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
}

// The session's part of the names. Any other id (long, or with characters a file name cannot
// hold) goes in as a 64-bit FNV-1a hash after '=', which no plain id holds, so ids never share
// a name with a plain one, and two such ids only by a chance no one can aim at: the ids are
// logind's (the environment's counts only where logind cannot be asked, and then only for the
// user's own names).
std::string sessionPart(const std::string& id) {
  if (id.empty()) return {};
  if (isPlainName(id)) return "-session-" + id;
  uint64_t hash = 0xcbf29ce484222325;
  for (const char c : id) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
  std::string part = "-session=";
  for (int shift = 60; shift >= 0; shift -= 4) part += "0123456789abcdef"[(hash >> shift) & 0xf];
  return part;
}

// The folder, opened, when it is a folder of this user's that no one else may enter: anything
// else (a link, another user's folder, one open to others) would let another user take the
// lock or listen in our place.
UniqueFd privateFolder(const std::string& path) {
  if (path.empty() || path[0] != '/') return {};
  UniqueFd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (!folder || ::fstat(folder.get(), &status) != 0 || status.st_uid != ::geteuid() ||
      (status.st_mode & 077) != 0) {
    return {};
  }
  return folder;
}

// Without a runtime folder: zelvo-cd in the user's cache folder, made private when it is new.
std::string fallbackFolderPath() {
  const char* cacheHome = std::getenv("XDG_CACHE_HOME");
  const std::string home = homeFolder();
  if ((!cacheHome || cacheHome[0] != '/') && home.empty()) return {};
  const std::string cache = cacheHome && cacheHome[0] == '/' ? cacheHome : home + "/.cache";
  ::mkdir(cache.c_str(), 0700);
  const std::string folder = cache + "/zelvo-cd";
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

// A lock on the whole file, owned by the open file rather than the process (an open file
// description lock): forked children that close their copies never take it along.
flock wholeFile(short type) {
  flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return lock;
}

// Whether the open file is the one under the name in the place; errno says why not (0: another
// file is there).
bool isFileAt(const MeetingPlace& place, const std::string& name, const UniqueFd& file) {
  struct stat opened {};
  struct stat named {};
  if (::fstat(file.get(), &opened) != 0 ||
      ::fstatat(place.folder.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
    return false;
  }
  errno = 0;
  return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

UniqueFd takeLock(const MeetingPlace& place, bool& heldElsewhere) {
  heldElsewhere = false;
  const std::string name = place.name(kLockEnding);
  for (;;) {
    UniqueFd lockFile(::openat(place.folder.get(), name.c_str(),
                               O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600));
    if (!lockFile) return {};
    flock lock = wholeFile(F_WRLCK);
    if (::fcntl(lockFile.get(), F_OFD_SETLK, &lock) != 0) {
      heldElsewhere = errno == EAGAIN || errno == EACCES;
      return {};
    }
    // A copy that ends removes its lock file while it still holds the lock (leavePlace). If we
    // opened the file just before that and got the lock just after, we hold a file no one else
    // can find: only the file that is under the name counts, so the name is tried again.
    if (isFileAt(place, name, lockFile)) return lockFile;
    if (errno != ENOENT && errno != 0) return {};
  }
}

void leavePlace(const MeetingPlace& place, const UniqueFd& lock) {
  const std::string lockName = place.name(kLockEnding);
  if (!lock || !isFileAt(place, lockName, lock)) return;
  // The socket first: a copy that starts once the lock file has gone may listen at once, and its
  // socket must not be the one removed.
  ::unlinkat(place.folder.get(), place.name(kQuietStopEnding).c_str(), 0);
  ::unlinkat(place.folder.get(), lockName.c_str(), 0);
}

bool lockHeld(const MeetingPlace& place) {
  const UniqueFd lockFile(::openat(place.folder.get(), place.name(kLockEnding).c_str(),
                                   O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY));
  flock lock = wholeFile(F_WRLCK);
  return lockFile && ::fcntl(lockFile.get(), F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

std::optional<MeetingPlace> meetingPlace(const std::string& programName, LoginSession session) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string path = runtime ? runtime : "";
  UniqueFd folder = privateFolder(path);
  if (!folder) {
    path = fallbackFolderPath();
    folder = privateFolder(path);
  }
  if (!folder) return std::nullopt;
  // Copies in other sessions of the same user wait for their own session's end; a program
  // started where logind knows no session of the user has one copy per user.
  std::string baseName = "zelvo-cd-" + programName + sessionPart(session.id);
  return MeetingPlace{path, std::move(folder), std::move(baseName), std::move(session)};
}

sockaddr_un socketAddress(const MeetingPlace& place, const char* ending) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string name = place.name(ending);
  const int length = std::snprintf(address.sun_path, sizeof address.sun_path, "%s/%s",
                                   place.folderPath.c_str(), name.c_str());
  if (length < 0 || static_cast<size_t>(length) >= sizeof address.sun_path) {
    std::snprintf(address.sun_path, sizeof address.sun_path, "/proc/self/fd/%d/%s",
                  place.folder.get(), name.c_str());
  }
  return address;
}

}  // namespace zelvo::linux_os
