#include "opener/tray_opener.h"
#include "services/linux/linux_drive_control.h"
#include "services/linux/linux_process.h"

int main(int argc, char** argv) {
  zelvo::linux_os::LinuxProcess process(argc, argv);
  zelvo::linux_os::LinuxDriveControl driveControl;
  zelvo::runGuarded(process, [&] { zelvo::runTrayOpener(process, driveControl); });
  return 0;
}
