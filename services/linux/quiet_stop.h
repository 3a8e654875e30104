// The suite's quiet stop on Linux. A waiting traywatch listens on a socket beside its lock file
// (see meeting_place.h); a request from the same user ends it at once, without its scan, so no
// tray opens. konfigurator asks (LinuxWatcher).
#pragma once

#include <systemd/sd-event.h>

#include <list>

#include "services/linux/loop_source.h"
#include "services/linux/meeting_place.h"
#include "services/linux/session_copy.h"
#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

// What a client sends to ask for the quiet stop.
inline constexpr char kQuietStopRequest[] = "stop\n";

inline void unrefEventSource(sd_event_source* source) {
  ::sd_event_source_disable_unref(source);
}
using UniqueEventSource = UniqueAny<sd_event_source*, unrefEventSource>;

class QuietStopListener final : public LoopSource {
 public:
  // Listens in the place where `copy` met the others.
  explicit QuietStopListener(const SessionCopy& copy) : copy_(copy) {}
  QuietStopListener(const QuietStopListener&) = delete;
  QuietStopListener& operator=(const QuietStopListener&) = delete;

  // Listens for a design that takes the quiet stop, when the copy is the first; the stop ends
  // the program without its unload handler.
  void attach(sd_event* loop, const FormDesign& design, LinuxForm& form) override;

 private:
  // Listens on the loop; only the copy that holds the program's lock may, since a socket left
  // by a copy that is gone is replaced.
  bool listen(sd_event* loop, const MeetingPlace& place);

  // One client's connection: its request is read as it comes, and the connection is dropped
  // at its deadline, so that a client that says nothing never holds up the loop.
  struct Connection {
    QuietStopListener* listener;
    UniqueFd socket;
    UniqueEventSource readable, deadline;
    size_t received = 0;
  };

  static int onConnection(sd_event_source* source, int fd, uint32_t events, void* self);
  static int onRequest(sd_event_source* source, int fd, uint32_t events, void* connection);
  static int onDeadline(sd_event_source* source, uint64_t usec, void* connection);
  void drop(const Connection* connection);

  const SessionCopy& copy_;
  UniqueFd socket_;
  UniqueEventSource listening_;
  std::list<Connection> connections_;
  LinuxProcess* process_ = nullptr;  // the program the stop ends
};

}  // namespace zelvo::linux_os
