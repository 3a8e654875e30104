#include <windows.h>

#include "launchers/shutdown/shutdown_launcher.h"
#include "services/win32/win32_form.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  zelvo::win32::Win32Services services;
  zelvo::ShutdownLauncher launcher(services);
  zelvo::win32::Win32Form form(services, launcher.frmMain(), launcher);
  return form.run();
}
