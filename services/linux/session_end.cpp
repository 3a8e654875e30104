#include "services/linux/session_end.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "services/form_design.h"
#include "services/linux/linux_form.h"
#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

constexpr char kLogin[] = "org.freedesktop.login1";
constexpr char kLoginPath[] = "/org/freedesktop/login1";
constexpr char kManager[] = "org.freedesktop.login1.Manager";
constexpr char kSession[] = "org.freedesktop.login1.Session";

}  // namespace

bool SessionEnd::watch(sd_event* loop, const std::string& reason, std::function<void()> ending) {
  ending_ = std::move(ending);
  if (::sd_bus_open_system(bus_.put()) < 0) return false;
  if (::sd_bus_attach_event(bus_.get(), loop, SD_EVENT_PRIORITY_NORMAL) < 0) return false;

  // Subscribed before the inhibitor is asked for: the bus keeps each client's messages in
  // order, so a shutdown that starts once logind has granted the inhibitor is heard here.
  if (::sd_bus_match_signal_async(bus_.get(), shutdownSlot_.put(), kLogin, kLoginPath, kManager,
                                  "PrepareForShutdown", &SessionEnd::onPrepareForShutdown, nullptr,
                                  this) < 0) {
    return false;
  }
  // Held from the start, so that a shutdown waits for the scan (up to logind's delay limit).
  if (::sd_bus_call_method_async(bus_.get(), inhibitSlot_.put(), kLogin, kLoginPath, kManager,
                                 "Inhibit", &SessionEnd::onInhibited, this, "ssss", "shutdown",
                                 "Zelvo CD", reason.c_str(), "delay") < 0) {
    return false;
  }
  // How long a shutdown waits for us, which bounds the work at the end.
  if (::sd_bus_call_method_async(
          bus_.get(), delaySlot_.put(), kLogin, kLoginPath, "org.freedesktop.DBus.Properties",
          "Get", &SessionEnd::onInhibitDelay, this, "ss", kManager, "InhibitDelayMaxUSec") < 0) {
    return false;
  }
  // The session this program belongs to: the one the desktop started it in, or else the one
  // logind finds for the process. A removed session is told by its id and its object alike.
  const char* id = std::getenv("XDG_SESSION_ID");
  if (id && *id) sessionId_ = id;
  if (::sd_bus_match_signal_async(bus_.get(), removedSlot_.put(), kLogin, kLoginPath, kManager,
                                  "SessionRemoved", &SessionEnd::onSessionRemoved, nullptr,
                                  this) < 0) {
    return false;
  }
  const int asked =
      id && *id
          ? ::sd_bus_call_method_async(bus_.get(), sessionSlot_.put(), kLogin, kLoginPath, kManager,
                                       "GetSession", &SessionEnd::onSessionFound, this, "s", id)
          : ::sd_bus_call_method_async(bus_.get(), sessionSlot_.put(), kLogin, kLoginPath, kManager,
                                       "GetSessionByPID", &SessionEnd::onSessionFound, this, "u",
                                       static_cast<uint32_t>(::getpid()));
  return asked >= 0;
}

void SessionEnd::attach(sd_event* loop, const FormDesign& design, LinuxForm& form) {
  if (design.shutdownBlockReason.empty()) return;
  watch(loop, toBytes(design.shutdownBlockReason), [&form] { form.unloadAndEnd(); });
}

int SessionEnd::onInhibited(sd_bus_message* reply, void* self, sd_bus_error*) {
  int fd = -1;
  // Refused, or no logind: the session's end is still heard, only not waited for.
  if (::sd_bus_message_is_method_error(reply, nullptr) ||
      ::sd_bus_message_read(reply, "h", &fd) < 0) {
    return 0;
  }
  // The reply owns the descriptor it carries; ours is a copy that lives as long as we want.
  static_cast<SessionEnd*>(self)->inhibitor_.reset(::fcntl(fd, F_DUPFD_CLOEXEC, 3));
  return 0;
}

int SessionEnd::onInhibitDelay(sd_bus_message* reply, void* self, sd_bus_error*) {
  uint64_t delay = 0;
  // An older logind without the property: its default stands.
  if (!::sd_bus_message_is_method_error(reply, nullptr) &&
      ::sd_bus_message_read(reply, "v", "t", &delay) >= 0) {
    static_cast<SessionEnd*>(self)->inhibitDelayUsec_ = delay;
  }
  return 0;
}

int SessionEnd::onSessionFound(sd_bus_message* reply, void* data, sd_bus_error*) {
  auto* self = static_cast<SessionEnd*>(data);
  const char* path = nullptr;
  // Outside any session: a shutdown is all there is to hear.
  if (::sd_bus_message_is_method_error(reply, nullptr) ||
      ::sd_bus_message_read(reply, "o", &path) < 0) {
    return 0;
  }
  self->sessionPath_ = path;
  ::sd_bus_match_signal_async(::sd_bus_message_get_bus(reply), self->changedSlot_.put(), kLogin,
                              path, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                              &SessionEnd::onSessionChanged, nullptr, self);
  return 0;
}

void SessionEnd::end() {
  if (!ending_) return;
  const auto ending = std::move(ending_);
  ending_ = nullptr;
  if (dueHook_) dueHook_(workDue(std::chrono::steady_clock::now(), inhibitDelayUsec_));
  ending();
  // Whatever the scan did, the shutdown may go on now.
  inhibitor_.reset();
}

int SessionEnd::onPrepareForShutdown(sd_bus_message* message, void* self, sd_bus_error*) {
  int starting = 0;
  // PrepareForShutdown(false) says that a shutdown was cancelled: nothing ends.
  if (::sd_bus_message_read(message, "b", &starting) >= 0 && starting) {
    static_cast<SessionEnd*>(self)->end();
  }
  return 0;
}

int SessionEnd::onSessionRemoved(sd_bus_message* message, void* self, sd_bus_error*) {
  auto* watcher = static_cast<SessionEnd*>(self);
  const char* id = nullptr;
  const char* path = nullptr;
  if (::sd_bus_message_read(message, "so", &id, &path) < 0) return 0;
  if ((!watcher->sessionId_.empty() && watcher->sessionId_ == id) ||
      (!watcher->sessionPath_.empty() && watcher->sessionPath_ == path)) {
    watcher->end();
  }
  return 0;
}

int SessionEnd::onSessionChanged(sd_bus_message* message, void* self, sd_bus_error*) {
  // PropertiesChanged(interface, {name: value}, [invalidated]): the session closes when its
  // State becomes "closing".
  const char* interface = nullptr;
  if (::sd_bus_message_read(message, "s", &interface) < 0 || std::strcmp(interface, kSession)) {
    return 0;
  }
  if (::sd_bus_message_enter_container(message, SD_BUS_TYPE_ARRAY, "{sv}") < 0) return 0;
  while (::sd_bus_message_enter_container(message, SD_BUS_TYPE_DICT_ENTRY, "sv") > 0) {
    const char* name = nullptr;
    const char* state = nullptr;
    if (::sd_bus_message_read(message, "s", &name) < 0) return 0;
    if (std::strcmp(name, "State") == 0 && ::sd_bus_message_read(message, "v", "s", &state) >= 0 &&
        std::strcmp(state, "closing") == 0) {
      static_cast<SessionEnd*>(self)->end();
      return 0;
    }
    if (state == nullptr && ::sd_bus_message_skip(message, "v") < 0) return 0;
    ::sd_bus_message_exit_container(message);
  }
  return 0;
}

}  // namespace zelvo::linux_os
