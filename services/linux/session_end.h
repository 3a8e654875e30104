// How a waiting launcher hears, on a logind system, that the user's session ends: at a shutdown
// or reboot (PrepareForShutdown(true), which it delays with an inhibitor taken at its start),
// and at a logout (its own session removed, or closing). The reason shown with the inhibitor is
// the one the design gives.
//
// Every call to logind is asynchronous: the loop goes on serving the end signals and the quiet
// stop however long logind takes to answer, or if it never does.
#pragma once

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <functional>
#include <string>

#include "services/linux/loop_source.h"
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

class SessionEnd final : public LoopSource {
 public:
  SessionEnd() = default;
  SessionEnd(const SessionEnd&) = delete;
  SessionEnd& operator=(const SessionEnd&) = delete;

  // Starts listening on the loop and asks for the delay inhibitor; `ending` runs once, when the
  // session ends, and the inhibitor is released after it. False when the system bus cannot be
  // reached: the end signals are all that is left then.
  bool watch(sd_event* loop, const std::string& reason, std::function<void()> ending);
  // Watches for a design that holds the shutdown while it unloads; the end unloads the form.
  void attach(sd_event* loop, const FormDesign& design, LinuxForm& form) override;

 private:
  static int onInhibited(sd_bus_message* reply, void* self, sd_bus_error* error);
  static int onSessionFound(sd_bus_message* reply, void* self, sd_bus_error* error);
  static int onPrepareForShutdown(sd_bus_message* message, void* self, sd_bus_error* error);
  static int onSessionRemoved(sd_bus_message* message, void* self, sd_bus_error* error);
  static int onSessionChanged(sd_bus_message* message, void* self, sd_bus_error* error);
  void end();

  UniqueBus bus_;
  UniqueFd inhibitor_;
  std::string sessionId_, sessionPath_;
  std::function<void()> ending_;
  UniqueSlot shutdownSlot_, inhibitSlot_, sessionSlot_, removedSlot_, changedSlot_;
};

}  // namespace zelvo::linux_os
