#include "launchers/shutdown/shutdown_launcher.h"

#include "launchers/launcher_window.h"
#include "services/watcher.h"

namespace zelvo {

ShutdownLauncher::ShutdownLauncher(const LauncherServices& services)
    : services_(services),
      scan_(services, AfterLaunch::EndProgram),
      frmMain_(hiddenLauncherWindow(kWatcherProgram)) {
  frmMain_.shutdownBlockReason = L"Wysuwanie tacki napędu CD";
  // The installer, the uninstaller and konfigurator end a waiting copy this way; no tray opens.
  frmMain_.acceptsQuietStop = true;
}

void ShutdownLauncher::load() {
  try {
    alreadyRunning_ = services_.process.previousInstance();
  } catch (const ServiceError&) {
    // Without a way to tell copies apart, a copy that waited could never be stopped, and
    // every start would add one more: better none.
    services_.messageBoxes.messageBox(kCannotTellCopiesText, kStyleExclamation, kErrorTitle);
    services_.process.endProgram();
  }
  if (alreadyRunning_) {
    services_.messageBoxes.messageBox(kAlreadyRunningText, kStyleExclamation, kErrorTitle);
    services_.process.endProgram();
  }
}

void ShutdownLauncher::unload() {
  if (alreadyRunning_) return;
  scan_.scanAndEject();
}

}  // namespace zelvo
