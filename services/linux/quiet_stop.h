// The suite's quiet stop on Linux. A waiting traywatch listens on a socket in the user's runtime
// folder, named after the program and the session as its lock file is; a request from the same
// user ends it at once, without its scan, so no tray opens. konfigurator asks (LinuxWatcher).
#pragma once

#include <systemd/sd-event.h>

#include <functional>
#include <string>

#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

// What a client sends to ask for the quiet stop, and the socket's name after the program's.
inline constexpr char kQuietStopRequest[] = "stop\n";
inline constexpr char kQuietStopEnding[] = ".stop";

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
