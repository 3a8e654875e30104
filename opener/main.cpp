#include <windows.h>

#include "opener/tray_opener.h"
#include "services/win32/win32_drives.h"
#include "services/win32/win32_process.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  zelvo::win32::Win32Process process;
  zelvo::win32::Win32DriveControl driveControl;
  zelvo::win32::runGuarded(process, [&] { zelvo::runTrayOpener(process, driveControl); });
  return 0;
}
