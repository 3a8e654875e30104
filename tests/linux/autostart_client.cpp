// konfigurator's start-up entries without its window, for the tests: the same store, found from
// the environment, through the same Autostart. Each argument acts on one entry, WysuwajTeraz and
// then WysuwajPotem: "add" or "remove", as a save with its box ticked or cleared, or "-". Then
// each entry's box is printed on a line as the window would show it (1 or 0), or "? PATH" for an
// entry that cannot be read; the status tells whether every add and remove succeeded.
#include <cstdio>
#include <string_view>

#include "configurator/autostart.h"
#include "services/linux/linux_process.h"
#include "services/linux/wide_text.h"
#include "services/linux/xdg_autostart_store.h"

int main(int argc, char** argv) {
  zelvo::linux_os::LinuxProcess process(argc, argv);
  zelvo::linux_os::XdgAutostartStore store;
  zelvo::Autostart autostart(store, process);
  struct Box {
    bool (zelvo::Autostart::*add)();
    bool (zelvo::Autostart::*remove)();
    int (zelvo::Autostart::*isOn)();
    std::optional<std::wstring> (zelvo::Autostart::*unreadable)();
  };
  const Box boxes[] = {
      {&zelvo::Autostart::addEjectNow, &zelvo::Autostart::removeEjectNow,
       &zelvo::Autostart::isEjectNowOn, &zelvo::Autostart::unreadableEjectNow},
      {&zelvo::Autostart::addEjectAtShutdown, &zelvo::Autostart::removeEjectAtShutdown,
       &zelvo::Autostart::isEjectAtShutdownOn, &zelvo::Autostart::unreadableEjectAtShutdown},
  };
  bool done = true;
  for (int i = 1; i < argc && i <= 2; ++i) {
    const std::string_view action = argv[i];
    const Box& box = boxes[i - 1];
    if (action == "add") done = (autostart.*box.add)() && done;
    if (action == "remove") done = (autostart.*box.remove)() && done;
  }
  for (const Box& box : boxes) {
    if (const auto place = (autostart.*box.unreadable)()) {
      std::printf("? %s\n", zelvo::linux_os::toBytes(*place).c_str());
    } else {
      std::printf("%d\n", (autostart.*box.isOn)());
    }
  }
  return done ? 0 : 1;
}
