#include "services/linux/session_end.h"

#include <fcntl.h>

#include <cstring>

#include "services/form_design.h"
#include "services/linux/linux_form.h"
#include "services/linux/meeting_place.h"
#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

// The bus itself: sd-bus gives its messages this sender, which no client can take.
constexpr char kBus[] = "org.freedesktop.DBus";
constexpr char kBusPath[] = "/org/freedesktop/DBus";
constexpr char kLoginOwnerChanges[] =
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='org.freedesktop.login1'";

}  // namespace

bool SessionEnd::watch(sd_event* loop, const std::string& reason) {
  if (::sd_bus_open_system(bus_.put()) < 0) return false;
  if (::sd_bus_attach_event(bus_.get(), loop, SD_EVENT_PRIORITY_NORMAL) < 0) return false;

  // Only logind may end the watch. The subscriptions below name logind as the sender, but the
  // bus filters only what it sends to every subscriber: a signal sent to our own unique name
  // reaches us whoever sent it (any user may), and sd-bus cannot tell a well-known sender on
  // our side. So each signal is checked against the unique name that owns logind's.
  // The owner is asked for before anything of logind's is subscribed to, and followed through
  // the bus's NameOwnerChanged, subscribed to first so that no change in between is missed.
  // The bus handles our requests in order and sends us its messages in order: whatever it tells
  // us comes in the order it happened, so the last owner heard of is the owner; and the answer
  // to GetNameOwner comes before any signal the later subscriptions bring. A signal of logind's
  // cannot come before the answer either: logind sends only once it owns the name, and then the
  // answer names it. Until the owner is known nothing counts.
  if (::sd_bus_add_match_async(bus_.get(), ownerChangedSlot_.put(), kLoginOwnerChanges,
                               &SessionEnd::onOwnerChanged, nullptr, this) < 0 ||
      ::sd_bus_call_method_async(bus_.get(), ownerSlot_.put(), kBus, kBusPath, kBus, "GetNameOwner",
                                 &SessionEnd::onOwnerFound, this, "s", kLogin) < 0) {
    return false;
  }

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
  if (::sd_bus_call_method_async(bus_.get(), delaySlot_.put(), kLogin, kLoginPath, kProperties,
                                 "Get", &SessionEnd::onInhibitDelay, this, "ss", kManager,
                                 "InhibitDelayMaxUSec") < 0) {
    return false;
  }
  // The session this program belongs to, as logind gave it (see login_session.h), or, where
  // logind could not be asked, only its id, from the environment. A removed session is told by
  // its id and its object alike; a closing one by its object.
  if (!session_) return true;
  if (!session_->id.empty() &&
      ::sd_bus_match_signal_async(bus_.get(), removedSlot_.put(), kLogin, kLoginPath, kManager,
                                  "SessionRemoved", &SessionEnd::onSessionRemoved, nullptr,
                                  this) < 0) {
    return false;
  }
  return session_->path.empty() ||
         ::sd_bus_match_signal_async(bus_.get(), changedSlot_.put(), kLogin, session_->path.c_str(),
                                     kProperties, "PropertiesChanged",
                                     &SessionEnd::onSessionChanged, nullptr, this) >= 0;
}

void SessionEnd::attach(sd_event* loop, const FormDesign& design, LinuxForm& form) {
  if (design.shutdownBlockReason.empty()) return;
  form_ = &form;
  if (const MeetingPlace* place = copy_.place()) session_ = &place->session;
  watch(loop, toBytes(design.shutdownBlockReason));
}

int SessionEnd::onOwnerFound(sd_bus_message* reply, void* self, sd_bus_error*) {
  const char* owner = nullptr;
  // No owner yet: logind's start will be told by NameOwnerChanged.
  if (!::sd_bus_message_is_method_error(reply, nullptr) &&
      ::sd_bus_message_read(reply, "s", &owner) >= 0) {
    static_cast<SessionEnd*>(self)->loginOwner_ = owner;
  }
  return 0;
}

int SessionEnd::onOwnerChanged(sd_bus_message* message, void* self, sd_bus_error*) {
  const char* sender = ::sd_bus_message_get_sender(message);
  const char* name = nullptr;
  const char* before = nullptr;
  const char* after = nullptr;
  // NameOwnerChanged(name, old owner, new owner): an empty new owner means logind is gone.
  if (sender && std::strcmp(sender, kBus) == 0 &&
      ::sd_bus_message_read(message, "sss", &name, &before, &after) >= 0 &&
      std::strcmp(name, kLogin) == 0) {
    static_cast<SessionEnd*>(self)->loginOwner_ = after;
  }
  return 0;
}

bool SessionEnd::fromLogind(sd_bus_message* message) const {
  const char* sender = ::sd_bus_message_get_sender(message);
  return sender && !loginOwner_.empty() && loginOwner_ == sender;
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

void SessionEnd::end() {
  if (dueHook_) dueHook_(workDue(std::chrono::steady_clock::now(), inhibitDelayUsec_));
  // Whatever the scan does, the program ends after it, and the shutdown may go on: the
  // inhibitor goes with the process.
  form_->unloadAndEnd();
}

int SessionEnd::onPrepareForShutdown(sd_bus_message* message, void* self, sd_bus_error*) {
  int starting = 0;
  if (!static_cast<SessionEnd*>(self)->fromLogind(message)) return 0;
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
  if (!watcher->fromLogind(message) || ::sd_bus_message_read(message, "so", &id, &path) < 0) {
    return 0;
  }
  const LoginSession& session = *watcher->session_;  // subscribed to only when there is one
  if ((!session.id.empty() && session.id == id) ||
      (!session.path.empty() && session.path == path)) {
    watcher->end();
  }
  return 0;
}

int SessionEnd::onSessionChanged(sd_bus_message* message, void* self, sd_bus_error*) {
  // PropertiesChanged(interface, {name: value}, [invalidated]): the session closes when its
  // State becomes "closing".
  const char* interface = nullptr;
  if (!static_cast<SessionEnd*>(self)->fromLogind(message) ||
      ::sd_bus_message_read(message, "s", &interface) < 0 || std::strcmp(interface, kSession)) {
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
