#include "launchers/shutdown/shutdown_launcher.h"
#include "services/linux/linux_drives.h"
#include "services/linux/linux_form.h"
#include "services/linux/linux_process.h"

int main(int argc, char** argv) {
  zelvo::linux_os::LinuxProcess process(argc, argv);
  zelvo::linux_os::LinuxDrives drives;
  zelvo::linux_os::LinuxForm form(process);
  zelvo::ShutdownLauncher launcher({process, drives, form, form});
  return form.run(launcher.frmMain(), launcher);
}
