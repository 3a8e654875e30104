#include "services/linux/meeting_place.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "services/linux/home_folder.h"

namespace zelvo::linux_os {
namespace {

// A name part taken from the environment, kept only when it is plain enough for a file name and
// short enough that a socket path through the folder's descriptor always fits.
bool isPlainName(std::string_view name) {
  if (name.empty() || name.size() > 32) return false;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
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

constexpr char kLockEnding[] = ".lock";

// A lock on the whole file, owned by the open file rather than the process (an open file
// description lock): forked children that close their copies never take it along.
flock wholeFile(short type) {
  flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return lock;
}

}  // namespace

UniqueFd takeLock(const MeetingPlace& place, bool& heldElsewhere) {
  heldElsewhere = false;
  UniqueFd lockFile(::openat(place.folder.get(), place.name(kLockEnding).c_str(),
                             O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600));
  if (!lockFile) return {};
  flock lock = wholeFile(F_WRLCK);
  if (::fcntl(lockFile.get(), F_OFD_SETLK, &lock) == 0) return lockFile;
  heldElsewhere = errno == EAGAIN || errno == EACCES;
  return {};
}

bool lockHeld(const MeetingPlace& place) {
  const UniqueFd lockFile(::openat(place.folder.get(), place.name(kLockEnding).c_str(),
                                   O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY));
  flock lock = wholeFile(F_WRLCK);
  return lockFile && ::fcntl(lockFile.get(), F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

std::optional<MeetingPlace> meetingPlace(std::string_view programName) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string path = runtime ? runtime : "";
  UniqueFd folder = privateFolder(path);
  if (!folder) {
    path = fallbackFolderPath();
    folder = privateFolder(path);
  }
  if (!folder) return std::nullopt;
  MeetingPlace place{path, std::move(folder), "zelvo-cd-" + std::string(programName)};
  // Copies in other sessions of the same user wait for their own session's end; a program
  // started outside any session has one copy per user.
  const char* session = std::getenv("XDG_SESSION_ID");
  if (session && isPlainName(session)) place.baseName += std::string("-session-") + session;
  return place;
}

sockaddr_un socketAddress(const MeetingPlace& place, std::string_view ending) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string path = place.folderPath + "/" + place.name(ending);
  if (path.size() >= sizeof address.sun_path) {
    path = "/proc/self/fd/" + std::to_string(place.folder.get()) + "/" + place.name(ending);
  }
  std::memcpy(address.sun_path, path.c_str(), std::min(path.size(), sizeof address.sun_path - 1));
  return address;
}

}  // namespace zelvo::linux_os
