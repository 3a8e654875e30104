// The suite's quiet stop on Linux. A waiting traywatch listens on a socket in the user's runtime
// folder, named after the program and the session as its lock file is; a request from the same
// user ends it at once, without its scan, so no tray opens. konfigurator asks (LinuxWatcher).
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <systemd/sd-event.h>

#include <cstring>
#include <functional>
#include <string>

#include "services/linux/linux_process.h"
#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

// What a client sends to ask for the quiet stop, and the socket's name after the program's.
inline constexpr char kQuietStopRequest[] = "stop\n";
inline constexpr char kQuietStopEnding[] = ".stop";

// Where the program's copy in this session listens; false when there is no place for it (no
// runtime folder, or a path too long for a socket).
inline bool quietStopAddress(const std::string& programName, sockaddr_un& address) {
  const std::string path = sessionRuntimePath(programName, kQuietStopEnding);
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

class QuietStopListener {
 public:
  QuietStopListener() = default;
  QuietStopListener(const QuietStopListener&) = delete;
  QuietStopListener& operator=(const QuietStopListener&) = delete;

  // Listens on the loop (only the copy that holds the program's lock may: a socket left by a
  // copy that is gone is replaced); `stop` runs when the quiet stop comes.
  bool listen(sd_event* loop, const std::string& programName, std::function<void()> stop);

 private:
  static int onConnection(sd_event_source* source, int fd, uint32_t events, void* self);

  UniqueFd socket_;
  std::function<void()> stop_;
};

}  // namespace zelvo::linux_os
