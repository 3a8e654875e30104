// "This session", as logind knows it: what a waiting traywatch and konfigurator must agree on to
// meet (the single copy and the quiet stop are named after it, see meeting_place.h), and the
// session whose end traywatch watches. Both find it with the same routine, so that copies
// started from different environments of one session (a desktop's autostart run as a user
// service, a terminal, ssh -X) meet, and copies of different sessions never do.
#pragma once

#include <chrono>
#include <cstdlib>
#include <string>

namespace zelvo::linux_os {

// logind's names on the system bus.
inline constexpr char kLogin[] = "org.freedesktop.login1";
inline constexpr char kLoginPath[] = "/org/freedesktop/login1";
inline constexpr char kManager[] = "org.freedesktop.login1.Manager";
inline constexpr char kSession[] = "org.freedesktop.login1.Session";
inline constexpr char kUser[] = "org.freedesktop.login1.User";
inline constexpr char kProperties[] = "org.freedesktop.DBus.Properties";

struct LoginSession {
  std::string id;    // empty: in no session (one copy per user then)
  std::string path;  // the session's object on the system bus; empty when logind did not say
};

// The whole lookup's deadline. traywatch looks before it takes its lock and listens, and
// konfigurator gives the traywatch it starts 5 s to say that it listens: a logind that does not
// answer costs each side this long once, and both fall back to the environment alike.
inline constexpr std::chrono::milliseconds kSessionLookupDeadline{1000};

// The session the environment names (XDG_SESSION_ID), unchecked: where logind cannot be asked,
// the programs go by it, as they did before they asked logind.
inline LoginSession sessionFromEnvironment() {
  const char* id = std::getenv("XDG_SESSION_ID");
  return {id ? id : "", {}};
}

// The session logind places this process in. Outside any (a user service started by systemd's
// autostart generator or systemd-run --user, ssh without pam_systemd): the session
// XDG_SESSION_ID names, when logind knows it as one of this user's, else the user's display
// session; none when the user has none. Where logind cannot be reached (no bus, no logind, no
// answer by the deadline): the environment's.
LoginSession findLoginSession();

}  // namespace zelvo::linux_os
