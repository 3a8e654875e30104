// How a waiting launcher hears, on a logind system, that the user's session ends: at a shutdown
// or reboot (PrepareForShutdown(true), which it may delay with an inhibitor taken at its start),
// and at a logout (its own session removed, or closing). The reason shown with the inhibitor is
// the one the design gives.
#pragma once

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <functional>
#include <string>

#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

inline void unrefBus(sd_bus* bus) {
  ::sd_bus_flush_close_unref(bus);
}
inline void unrefSlot(sd_bus_slot* slot) {
  ::sd_bus_slot_unref(slot);
}
using UniqueBus = UniqueAny<sd_bus*, unrefBus>;
using UniqueSlot = UniqueAny<sd_bus_slot*, unrefSlot>;

class SessionEnd {
 public:
  SessionEnd() = default;
  SessionEnd(const SessionEnd&) = delete;
  SessionEnd& operator=(const SessionEnd&) = delete;

  // Takes the delay inhibitor and starts listening on the loop; `ending` runs once, when the
  // session ends, and the inhibitor is released after it. False when the system bus or logind
  // cannot be reached: the end signals are all that is left then.
  bool watch(sd_event* loop, const std::string& reason, std::function<void()> ending);

 private:
  static int onPrepareForShutdown(sd_bus_message* message, void* self, sd_bus_error* error);
  static int onSessionRemoved(sd_bus_message* message, void* self, sd_bus_error* error);
  static int onSessionChanged(sd_bus_message* message, void* self, sd_bus_error* error);
  void end();

  UniqueBus bus_;
  UniqueFd inhibitor_;
  std::string sessionId_;
  std::function<void()> ending_;
  UniqueSlot shutdownSlot_, removedSlot_, changedSlot_;
};

}  // namespace zelvo::linux_os
