#include "launchers/shutdown/shutdown_launcher.h"

#include "launchers/launcher_window.h"

namespace zelvo {

ShutdownLauncher::ShutdownLauncher(ProgramServices& services)
    : services_(services),
      scan_(services, AfterLaunch::EndProgram),
      frmMain_(hiddenLauncherWindow(L"traywatch")) {
  frmMain_.shutdownBlockReason = L"Wysuwanie tacki napędu CD";
}

void ShutdownLauncher::load() {
  alreadyRunning_ = services_.previousInstance();
  if (alreadyRunning_) {
    services_.messageBox(kAlreadyRunningText, kStyleExclamation, kErrorTitle);
    services_.endProgram();
  }
}

void ShutdownLauncher::unload() {
  if (alreadyRunning_) return;
  scan_.scanAndEject();
}

}  // namespace zelvo
