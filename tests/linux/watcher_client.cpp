// What konfigurator does to the waiting traywatch, for the tests and the figures, without its
// window: `watcher_client start PATH` starts the traywatch at PATH and returns once it can be
// stopped; `watcher_client stop` asks for the quiet stop (status 0: none waits afterwards);
// `watcher_client waiting` (status 0: one waits).
#include <string_view>

#include "configurator/settings_window.h"
#include "services/linux/linux_process.h"
#include "services/linux/linux_watcher.h"
#include "services/linux/ready_start.h"
#include "services/linux/wide_text.h"

int main(int argc, char** argv) {
  zelvo::linux_os::LinuxProcess process(argc, argv,
                                        {.startWhenReady = &zelvo::linux_os::spawnWhenReady});
  zelvo::linux_os::LinuxWatcher watcher;
  const std::string_view verb = argc > 1 ? argv[1] : "";
  if (verb == "start" && argc == 3) {
    zelvo::ProgramStart start;
    start.applicationPath = zelvo::linux_os::fromBytes(argv[2]);
    start.waitUntilReady = zelvo::kWatcherReadyDeadline;
    process.startProgram(start);
    return 0;
  }
  if (verb == "stop") return watcher.stopQuietly() ? 0 : 1;
  if (verb == "waiting") return watcher.isWaiting() ? 0 : 1;
  return 2;
}
