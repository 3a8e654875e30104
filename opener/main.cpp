#include <windows.h>

#include "opener/tray_opener.h"
#include "services/win32/win32_services.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  zelvo::win32::Win32Services services;
  zelvo::win32::runGuarded(services, [&] { zelvo::runTrayOpener(services); });
  return 0;
}
