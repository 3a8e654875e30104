#include <windows.h>
// Needs the types of windows.h before it.
#include <commctrl.h>

#include "configurator/autostart.h"
#include "configurator/settings_window.h"
#include "services/win32/win32_form.h"
#include "services/win32/win32_registry.h"
#include "services/win32/win32_services.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Loads the themed controls that the manifest asks for.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  zelvo::win32::Win32Services services;
  zelvo::win32::Win32Registry registry;
  zelvo::Autostart autostart(registry, services);
  zelvo::SettingsWindow window(services, autostart);
  const zelvo::FormDesign design = zelvo::frmKonfig();
  int exitCode = 0;
  zelvo::win32::runGuarded(services, [&] {
    zelvo::win32::Win32Form form(services, design, window);
    exitCode = form.run();
  });
  return exitCode;
}
