#include "configurator/autostart.h"
#include "configurator/settings_window.h"
#include "services/linux/gtk_form.h"
#include "services/linux/linux_process.h"
#include "services/linux/linux_watcher.h"
#include "services/linux/ready_start.h"
#include "services/linux/xdg_autostart_store.h"

int main(int argc, char** argv) {
  // It waits for the traywatch a save starts until that copy can be stopped.
  zelvo::linux_os::LinuxProcess process(argc, argv,
                                        {.startWhenReady = &zelvo::linux_os::spawnWhenReady});
  zelvo::linux_os::XdgAutostartStore store;
  zelvo::linux_os::LinuxWatcher watcher;
  zelvo::Autostart autostart(store, process);
  zelvo::linux_os::GtkForm form(process);
  zelvo::SettingsWindow window({process, form, form, watcher}, autostart, zelvo::kLinuxTexts);
  const zelvo::FormDesign design = zelvo::frmKonfig(zelvo::kLinuxTexts);
  int exitCode = 0;
  zelvo::runGuarded(process, [&] { exitCode = form.run(design, window); });
  return exitCode;
}
