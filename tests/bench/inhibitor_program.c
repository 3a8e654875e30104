/* Baseline for the figures script: the least a program that waits for the session's end on
   Linux must hold, logind's delay inhibitor, in C with sd-bus, and a wait for the signal that
   ends it (no timer, no polling). */
#include <fcntl.h>
#include <signal.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

int main(void) {
  sd_bus* bus = NULL;
  sd_bus_message* reply = NULL;
  int fd = -1;
  if (sd_bus_open_system(&bus) < 0 ||
      sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", "Inhibit", NULL, &reply, "ssss",
                         "shutdown", "baseline", "figures", "delay") < 0 ||
      sd_bus_message_read(reply, "h", &fd) < 0) {
    return 1;
  }
  int held = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  sd_bus_message_unref(reply);
  pause();
  close(held);
  return 0;
}
