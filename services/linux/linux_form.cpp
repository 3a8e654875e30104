#include "services/linux/linux_form.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <syslog.h>
#include <systemd/sd-daemon.h>
#include <systemd/sd-journal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "services/linux/pidfd.h"
#include "services/linux/wide_text.h"
#include "services/timer_control.h"

namespace zelvo::linux_os {
namespace {

void unrefEvent(sd_event* event) {
  ::sd_event_unref(event);
}
using UniqueEvent = UniqueAny<sd_event*, unrefEvent>;

// The signals that close a launcher: the session's end (SIGTERM, SIGHUP) and the user (SIGINT).
constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

// A timer tick may come up to a millisecond late, so that the loop can wake once for several
// due events; sd-event's default would allow a quarter of a second.
constexpr uint64_t kTimerAccuracyUsec = 1000;

uint64_t monotonicUsec() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1'000'000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
}

bool hasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// Without a display the text still reaches someone: the terminal the program was started from,
// and the user's journal.
void reportWithoutBox(const std::wstring& text, unsigned style, const std::wstring& title) {
  const std::string line = toBytes(title) + ": " + toBytes(text);
  const std::string withNewline = line + "\n";
  [[maybe_unused]] const ssize_t written =
      ::write(STDERR_FILENO, withNewline.data(), withNewline.size());
  ::sd_journal_print(style == kStyleExclamation ? LOG_WARNING : LOG_INFO, "%s", line.c_str());
}

}  // namespace

int LinuxForm::run(const FormDesign& design, FormHandlers& handlers) {
  design_ = &design;
  handlers_ = &handlers;
  UniqueEvent event;
  if (::sd_event_new(event.put()) < 0) return 1;
  // Each signal is blocked and taken through the loop's descriptor instead, so that it waits
  // for the handler that runs when it comes.
  for (const int signal : kEndSignals) {
    if (::sd_event_add_signal(event.get(), nullptr, signal | SD_EVENT_SIGNAL_PROCMASK,
                              &LinuxForm::onEndSignal, this) < 0) {
      return 1;
    }
  }
  if (::sd_event_add_signal(event.get(), nullptr, SIGCHLD | SD_EVENT_SIGNAL_PROCMASK,
                            &LinuxForm::onChildEnded, this) < 0) {
    return 1;
  }
  runGuarded(process_, [&] { handlers.load(); });
  // Past the load handler, only the one copy of the program runs on. The quiet stop comes
  // first, before anything that might wait, so that a stop sent the moment it started is heard.
  for (LoopSource* source : sources_) source->attach(event.get(), design, *this);
  // Whoever started us and waits for us to be ready (konfigurator) may go on: we listen now.
  // Unset, so that the programs we start do not say it in our place.
  ::sd_notify(1, "READY=1");
  if (design.timer && design.timer->enabled()) {
    const uint64_t interval = uint64_t{design.timer->interval()} * 1000;
    if (::sd_event_add_time_relative(event.get(), nullptr, CLOCK_MONOTONIC, interval,
                                     kTimerAccuracyUsec, &LinuxForm::onTimer, this) < 0) {
      return 1;
    }
  }
  return ::sd_event_loop(event.get()) < 0 ? 1 : 0;
}

// sd-event does not dispatch from inside its own dispatch: every handler of this program runs
// from the loop, one at a time, and whatever falls due meanwhile waits until the handler has
// returned. For the timer that means that the ticks that fall due during a scan or an open
// message box make one tick, right after it, as Windows drops a tick that would nest; an end
// signal that comes meanwhile runs the unload handler right after it. There is nothing to
// dispatch here.
void LinuxForm::processPendingEvents() {}

int LinuxForm::onTimer(sd_event_source* source, uint64_t dueUsec, void* form) {
  auto* self = static_cast<LinuxForm*>(form);
  TimerControl& timer = *self->design_->timer;
  runGuarded(self->process_, [&] { timer.tick(); });
  // Every interval from the last tick; a handler that outlasted intervals gets one tick at
  // once, not one for each interval it missed.
  const uint64_t next = std::max(dueUsec + uint64_t{timer.interval()} * 1000, monotonicUsec());
  ::sd_event_source_set_time(source, next);
  ::sd_event_source_set_enabled(source, SD_EVENT_ONESHOT);
  return 0;
}

int LinuxForm::onEndSignal(sd_event_source*, const struct signalfd_siginfo*, void* form) {
  static_cast<LinuxForm*>(form)->unloadAndEnd();
}

void LinuxForm::unloadAndEnd() {
  runGuarded(process_, [&] { handlers_->unload(); });
  process_.endProgram();
}

int LinuxForm::onChildEnded(sd_event_source*, const struct signalfd_siginfo*, void* form) {
  static_cast<LinuxForm*>(form)->process_.reapEndedPrograms();
  return 0;
}

void LinuxForm::messageBox(const std::wstring& text, unsigned style,
                           const std::optional<std::wstring>& title) {
  const std::wstring caption = title ? *title : design_ ? design_->programTitle : std::wstring();
  if (hasDisplay() && showInHelper(text, style, caption)) return;
  reportWithoutBox(text, style, caption);
}

bool LinuxForm::showInHelper(const std::wstring& text, unsigned style, const std::wstring& title) {
  StartedProgram box;
  try {
    box = spawnProgram(toBytes(programBesideUs(process_, kMessageBoxProgram)),
                       {std::to_string(style), toBytes(title), toBytes(text)});
  } catch (const ServiceError&) {
    return false;
  }
  // A kernel before 5.3 gives no pidfd to watch beside the end signals: the wait alone.
  if (box.pidfd) {
    // The end signals are blocked while the loop runs; a descriptor of their own tells of one
    // that comes while the user still looks at the box. The program ends then, box and all, as
    // the session that could answer it is ending.
    sigset_t endSignals;
    ::sigemptyset(&endSignals);
    for (const int signal : kEndSignals) ::sigaddset(&endSignals, signal);
    const UniqueFd endSignal(::signalfd(-1, &endSignals, SFD_CLOEXEC | SFD_NONBLOCK));
    pollfd waits[] = {{box.pidfd.get(), POLLIN, 0}, {endSignal.get(), POLLIN, 0}};
    while (::poll(waits, endSignal ? 2 : 1, -1) < 0 && errno == EINTR) {
    }
    if (waits[1].revents & POLLIN) {
      ::pidfd_send_signal(box.pidfd.get(), SIGTERM, nullptr, 0);
      process_.endProgram();
    }
  }
  const int status = waitForProgram(box, box.pidfd ? std::chrono::milliseconds(0) : kUntilItEnds);
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace zelvo::linux_os
