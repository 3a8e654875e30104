#include "services/linux/session_end.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "services/linux/bus_error.h"

namespace zelvo::linux_os {
namespace {

constexpr char kLogin[] = "org.freedesktop.login1";
constexpr char kLoginPath[] = "/org/freedesktop/login1";
constexpr char kManager[] = "org.freedesktop.login1.Manager";
constexpr char kSession[] = "org.freedesktop.login1.Session";

void unrefMessage(sd_bus_message* message) {
  ::sd_bus_message_unref(message);
}
using UniqueMessage = UniqueAny<sd_bus_message*, unrefMessage>;

using BusError = BusErrorOf<::sd_bus_error_free>;

// The session this program belongs to: the one the desktop started it in, or else the one
// logind finds for the process.
std::string sessionPath(sd_bus* bus, std::string& sessionId) {
  const char* id = std::getenv("XDG_SESSION_ID");
  BusError error;
  UniqueMessage reply;
  const int found =
      id && *id
          ? ::sd_bus_call_method(bus, kLogin, kLoginPath, kManager, "GetSession", error.get(),
                                 reply.put(), "s", id)
          : ::sd_bus_call_method(bus, kLogin, kLoginPath, kManager, "GetSessionByPID", error.get(),
                                 reply.put(), "u", static_cast<uint32_t>(::getpid()));
  const char* path = nullptr;
  if (found < 0 || ::sd_bus_message_read(reply.get(), "o", &path) < 0) return {};
  if (id && *id) {
    sessionId = id;
  } else {
    // The id is the last part of the object's path only when it needs no escaping; ask.
    char* read = nullptr;
    if (::sd_bus_get_property_string(bus, kLogin, path, kSession, "Id", error.get(), &read) >= 0) {
      sessionId = read;
      std::free(read);
    }
  }
  return path;
}

}  // namespace

bool SessionEnd::watch(sd_event* loop, const std::string& reason, std::function<void()> ending) {
  ending_ = std::move(ending);
  if (::sd_bus_open_system(bus_.put()) < 0) return false;
  if (::sd_bus_attach_event(bus_.get(), loop, SD_EVENT_PRIORITY_NORMAL) < 0) return false;

  // Held from the start, so that a shutdown waits for the scan (up to logind's delay limit).
  BusError error;
  UniqueMessage reply;
  if (::sd_bus_call_method(bus_.get(), kLogin, kLoginPath, kManager, "Inhibit", error.get(),
                           reply.put(), "ssss", "shutdown", "Zelvo CD", reason.c_str(),
                           "delay") < 0) {
    return false;
  }
  int fd = -1;
  if (::sd_bus_message_read(reply.get(), "h", &fd) < 0) return false;
  // The reply owns the descriptor it carries; ours is a copy that lives as long as we want.
  inhibitor_.reset(::fcntl(fd, F_DUPFD_CLOEXEC, 3));

  if (::sd_bus_match_signal(bus_.get(), shutdownSlot_.put(), kLogin, kLoginPath, kManager,
                            "PrepareForShutdown", &SessionEnd::onPrepareForShutdown, this) < 0) {
    return false;
  }
  const std::string session = sessionPath(bus_.get(), sessionId_);
  if (session.empty()) return true;  // outside any session: a shutdown is all there is to hear
  if (::sd_bus_match_signal(bus_.get(), removedSlot_.put(), kLogin, kLoginPath, kManager,
                            "SessionRemoved", &SessionEnd::onSessionRemoved, this) < 0 ||
      ::sd_bus_match_signal(bus_.get(), changedSlot_.put(), kLogin, session.c_str(),
                            "org.freedesktop.DBus.Properties", "PropertiesChanged",
                            &SessionEnd::onSessionChanged, this) < 0) {
    return false;
  }
  return true;
}

void SessionEnd::end() {
  if (!ending_) return;
  const auto ending = std::move(ending_);
  ending_ = nullptr;
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
  if (::sd_bus_message_read(message, "so", &id, nullptr) >= 0 && id && watcher->sessionId_ == id) {
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
