#include "launchers/shutdown/shutdown_launcher.h"
#include "services/linux/linux_drives.h"
#include "services/linux/linux_form.h"
#include "services/linux/linux_process.h"
#include "services/linux/quiet_stop.h"
#include "services/linux/session_copy.h"
#include "services/linux/session_end.h"

int main(int argc, char** argv) {
  // One copy per logind session, found as konfigurator finds it.
  zelvo::linux_os::SessionCopy copy;
  zelvo::linux_os::LinuxProcess process(argc, argv, {.copies = &copy});
  zelvo::linux_os::LinuxDrives drives;
  // The quiet stop first: it listens before anything that might wait on logind.
  zelvo::linux_os::QuietStopListener quietStop(copy);
  zelvo::linux_os::SessionEnd sessionEnd(copy);
  // At a shutdown (and a logout) the scan fits the time logind waits for it.
  sessionEnd.onEndDue([&drives](auto due) { drives.limitScansTo(due); });
  zelvo::linux_os::LinuxForm form(process, {&quietStop, &sessionEnd});
  zelvo::ShutdownLauncher launcher({process, drives, form, form});
  return form.run(launcher.frmMain(), launcher);
}
