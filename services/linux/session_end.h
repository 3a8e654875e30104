// How a waiting launcher hears, on a logind system, that the user's session ends: at a shutdown
// or reboot (PrepareForShutdown(true), which it delays with an inhibitor taken at its start),
// and at a logout (its own session removed, or closing). The reason shown with the inhibitor is
// the one the design gives. Only logind is heard: a signal counts only when it comes from the
// connection that owns logind's name.
//
// Every call to logind is asynchronous: the loop goes on serving the end signals and the quiet
// stop however long logind takes to answer, or if it never does.
#pragma once

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "services/linux/bus_owners.h"
#include "services/linux/login_session.h"
#include "services/linux/loop_source.h"
#include "services/linux/session_copy.h"
#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

// The time by which the work at a session's end must be done, when the end is heard at `heard`:
// three fifths of logind's inhibitor delay in microseconds (InhibitDelayMaxUSec; logind's
// default of 5 s while it has not said, an hour at most, also for "infinity"), so that what the
// work starts (traypop) still asks the drive well within the delay.
inline std::chrono::steady_clock::time_point workDue(std::chrono::steady_clock::time_point heard,
                                                     std::optional<uint64_t> delayUsec) {
  constexpr uint64_t kDefaultUsec = 5'000'000, kLongestUsec = 3'600'000'000;
  const uint64_t delay = std::min(delayUsec.value_or(kDefaultUsec), kLongestUsec);
  return heard + std::chrono::microseconds(delay / 5 * 3);
}

class SessionEnd final : public LoopSource {
 public:
  // Watches the session `copy` was named after.
  explicit SessionEnd(const SessionCopy& copy) : copy_(copy) {}
  SessionEnd(const SessionEnd&) = delete;
  SessionEnd& operator=(const SessionEnd&) = delete;

  // Watches for a design that holds the shutdown while it unloads, in the session of the copy:
  // when the shutdown starts or the session ends, the form unloads and the program ends, which
  // lets go of the inhibitor.
  void attach(sd_event* loop, const FormDesign& design, LinuxForm& form) override;

  // Runs at the session's end, right before the unload, with the time by which the work must be
  // done (see workDue); traywatch bounds its scan with it.
  void onEndDue(std::function<void(std::chrono::steady_clock::time_point)> dueHook) {
    dueHook_ = std::move(dueHook);
  }

 private:
  // Starts listening on the loop and asks for the delay inhibitor, shown with this reason. False
  // when the system bus cannot be reached: the end signals are all that is left then.
  bool watch(sd_event* loop, const std::string& reason);
  static int onOwnerFound(sd_bus_message* reply, void* self, sd_bus_error* error);
  static int onOwnerChanged(sd_bus_message* message, void* self, sd_bus_error* error);
  bool fromLogind(sd_bus_message* message) const;
  static int onInhibited(sd_bus_message* reply, void* self, sd_bus_error* error);
  static int onInhibitDelay(sd_bus_message* reply, void* self, sd_bus_error* error);
  static int onPrepareForShutdown(sd_bus_message* message, void* self, sd_bus_error* error);
  static int onSessionRemoved(sd_bus_message* message, void* self, sd_bus_error* error);
  static int onSessionChanged(sd_bus_message* message, void* self, sd_bus_error* error);
  [[noreturn]] void end();

  const SessionCopy& copy_;
  UniqueBus bus_;
  UniqueFd inhibitor_;
  std::string loginOwner_;     // logind's unique name; empty while unknown, or while it has none
  LinuxForm* form_ = nullptr;  // the form the end unloads
  const LoginSession* session_ = nullptr;  // the copy's; none: the shutdown alone ends the watch
  UniqueSlot ownerSlot_, ownerChangedSlot_;
  UniqueSlot shutdownSlot_, inhibitSlot_, removedSlot_, changedSlot_;
  std::function<void(std::chrono::steady_clock::time_point)> dueHook_;
  // How long logind waits for a delay inhibitor (InhibitDelayMaxUSec), once it has said.
  std::optional<uint64_t> inhibitDelayUsec_;
  UniqueSlot delaySlot_;
};

}  // namespace zelvo::linux_os
