#include <unistd.h>

#include "opener/tray_opener.h"
#include "services/linux/linux_drive_control.h"
#include "services/linux/linux_process.h"

// On Linux a script may start traypop too, so its exit status and one line on standard error
// tell what happened: 0 the tray was asked to open, 1 the drive failed (would not open, would
// not eject, did not answer), 2 no such drive. The launchers never look.
int main(int argc, char** argv) {
  zelvo::linux_os::LinuxProcess process(argc, argv);
  zelvo::linux_os::LinuxDriveControl driveControl;
  zelvo::runGuarded(
      process, [&] { zelvo::openTray(driveControl, zelvo::driveLetterOf(process.commandLine())); });
  const auto& failure = driveControl.failure();
  if (failure.code != 0) {
    const std::string line = "traypop: " + failure.text + "\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
  }
  // A drive call given up may stay in the kernel for minutes, in a child that shares our
  // descriptors: closed now, they keep no pipe that reads our output (a script's $(traypop d))
  // open after we have ended.
  ::close_range(0, ~0U, 0);
  if (failure.code == 0) return 0;
  return failure.code == zelvo::kMciErrInvalidDeviceName ? 2 : 1;
}
