#include "services/linux/login_session.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>

#include "services/linux/bus_owners.h"

namespace zelvo::linux_os {
namespace {

using Clock = std::chrono::steady_clock;

// One short conversation with logind, every call of it within one deadline. sd_bus_call would
// first wait, with no deadline of ours, for the connection to be set up; a frozen bus must not
// hold the lookup either, so each call is sent on its own and waited for here.
class Logind {
 public:
  explicit Logind(Clock::time_point deadline) : deadline_(deadline) {
    reachable_ = ::sd_bus_open_system(bus_.put()) >= 0 &&
                 ::sd_bus_set_method_call_timeout(bus_.get(), usecLeft()) >= 0;
  }

  // False once logind has not answered at all: no bus, no logind, no answer in time.
  bool reachable() const { return reachable_; }

  // logind's answer to a call on one of its objects; none when it answered with an error (no
  // such session) or did not answer at all, after which nothing more is asked.
  UniqueMessage ask(const std::string& path, const char* interface, const char* member,
                    const char* types, ...) {
    Answer answer;
    UniqueSlot pending;
    if (!reachable_ || path.empty()) return {};
    va_list arguments;
    va_start(arguments, types);
    const int sent =
        ::sd_bus_call_method_asyncv(bus_.get(), pending.put(), kLogin, path.c_str(), interface,
                                    member, &Logind::onReply, &answer, types, arguments);
    va_end(arguments);
    // Not a name logind could know (a session id that is not UTF-8): nothing to ask.
    if (sent == -EINVAL) return {};
    while (sent >= 0 && !answer.came) {
      const int processed = ::sd_bus_process(bus_.get(), nullptr);
      if (processed > 0) continue;
      const uint64_t left = usecLeft();
      const int waited = processed < 0 || left == 0 ? -ETIMEDOUT : ::sd_bus_wait(bus_.get(), left);
      if (waited < 0 && waited != -EINTR) break;
    }
    const sd_bus_error* error =
        answer.came ? ::sd_bus_message_get_error(answer.reply.get()) : nullptr;
    // These come from the bus or from sd-bus, not from logind: it did not answer.
    if (!answer.came ||
        (error && ::sd_bus_error_has_names(error, SD_BUS_ERROR_SERVICE_UNKNOWN,
                                           SD_BUS_ERROR_NAME_HAS_NO_OWNER, SD_BUS_ERROR_NO_REPLY,
                                           SD_BUS_ERROR_TIMEOUT, SD_BUS_ERROR_DISCONNECTED,
                                           SD_BUS_ERROR_ACCESS_DENIED))) {
      reachable_ = false;
    }
    if (error) return {};
    return std::move(answer.reply);
  }

  // A property's value, its variant entered and ready to be read.
  UniqueMessage property(const std::string& path, const char* interface, const char* name,
                         const char* type) {
    UniqueMessage reply = ask(path, kProperties, "Get", "ss", interface, name);
    if (!reply || ::sd_bus_message_enter_container(reply.get(), SD_BUS_TYPE_VARIANT, type) < 0) {
      return {};
    }
    return reply;
  }

 private:
  struct Answer {
    UniqueMessage reply;
    bool came = false;
  };

  static int onReply(sd_bus_message* reply, void* answer, sd_bus_error*) {
    auto* self = static_cast<Answer*>(answer);
    self->reply.reset(::sd_bus_message_ref(reply));
    self->came = true;
    return 0;
  }

  // What is left of the deadline.
  uint64_t usecLeft() const {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline_ - Clock::now());
    return left.count() > 0 ? static_cast<uint64_t>(left.count()) : 0;
  }

  Clock::time_point deadline_;
  UniqueBus bus_;
  bool reachable_ = false;
};

// The object path of a Manager method's answer; empty when there is none.
std::string objectIn(const UniqueMessage& reply) {
  const char* path = nullptr;
  return reply && ::sd_bus_message_read(reply.get(), "o", &path) >= 0 ? path : "";
}

}  // namespace

LoginSession findLoginSession() {
  Logind logind(Clock::now() + kSessionLookupDeadline);
  const uint32_t uid = ::getuid();
  std::string session = objectIn(
      logind.ask(kLoginPath, kManager, "GetSessionByPID", "u", static_cast<uint32_t>(::getpid())));
  // Outside any session: the one the environment names, when logind knows it as this user's.
  const LoginSession named = sessionFromEnvironment();
  if (session.empty() && !named.id.empty()) {
    session = objectIn(logind.ask(kLoginPath, kManager, "GetSession", "s", named.id.c_str()));
    const UniqueMessage user = logind.property(session, kSession, "User", "(uo)");
    uint32_t owner = 0;
    const char* path = nullptr;
    if (!user || ::sd_bus_message_read(user.get(), "(uo)", &owner, &path) < 0 || owner != uid) {
      session.clear();
    }
  }
  // Else the user's display session, the one logind's "auto" falls back to.
  if (session.empty()) {
    const std::string user = objectIn(logind.ask(kLoginPath, kManager, "GetUser", "u", uid));
    const UniqueMessage display = logind.property(user, kUser, "Display", "(so)");
    const char* id = nullptr;
    const char* path = nullptr;
    if (display && ::sd_bus_message_read(display.get(), "(so)", &id, &path) >= 0 && *id) {
      session = path;
    }
  }
  const UniqueMessage id = logind.property(session, kSession, "Id", "s");
  const char* text = nullptr;
  if (!logind.reachable()) return named;
  if (!id || ::sd_bus_message_read(id.get(), "s", &text) < 0 || !*text) return {};
  return {text, std::move(session)};
}

}  // namespace zelvo::linux_os
