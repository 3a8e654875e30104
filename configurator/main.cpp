#include <windows.h>
// Needs the types of windows.h before it.
#include <commctrl.h>

#include "configurator/autostart.h"
#include "configurator/settings_window.h"
#include "services/run_key_store.h"
#include "services/win32/win32_form.h"
#include "services/win32/win32_process.h"
#include "services/win32/win32_registry.h"
#include "services/win32/win32_watcher.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Loads the themed controls that the manifest asks for.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  zelvo::win32::Win32Process process;
  zelvo::win32::Win32Registry registry;
  zelvo::win32::Win32Watcher watcher;
  zelvo::RunKeyStore store(registry);
  zelvo::Autostart autostart(store, process);
  zelvo::win32::Win32Form form(process);
  zelvo::SettingsWindow window({process, form, form, watcher}, autostart, zelvo::kWindowsTexts);
  const zelvo::FormDesign design = zelvo::frmKonfig(zelvo::kWindowsTexts);
  int exitCode = 0;
  zelvo::win32::runGuarded(process, [&] { exitCode = form.run(design, window); });
  return exitCode;
}
