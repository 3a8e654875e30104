// konfigurator's start-up store without its window, for the tests, found from the environment as
// konfigurator finds it. `autostart_client NAME` prints the entry's box as the window shows it: 1,
// 0, or "? PATH" for an entry that cannot be read. `autostart_client NAME add PROGRAM` and
// `autostart_client NAME remove` first save it as a save with the box ticked or cleared does; the
// status is 1 when the save failed.
#include <cstdio>
#include <string_view>

#include "services/linux/wide_text.h"
#include "services/linux/xdg_autostart_store.h"

int main(int argc, char** argv) {
  using namespace zelvo::linux_os;
  if (argc < 2) return 2;
  XdgAutostartStore store;
  const std::wstring name = fromBytes(argv[1]);
  const std::string_view action = argc > 2 ? argv[2] : "";
  const bool saved = action == "add" && argc > 3 ? store.addEntry(name, fromBytes(argv[3]))
                     : action == "remove"        ? store.removeEntry(name)
                                                 : action.empty();
  const zelvo::StartupEntry entry = store.readEntry(name);
  if (entry.unreadableAt) {
    std::printf("? %s\n", toBytes(*entry.unreadableAt).c_str());
  } else {
    std::printf("%d\n", entry.text.empty() ? 0 : 1);
  }
  return saved ? 0 : 1;
}
