// The waiting traywatch as the other programs of the suite reach it: whether one waits in this
// session, and the quiet stop, which ends it without its scan (no tray opens).
#pragma once

namespace zelvo {

inline constexpr wchar_t kWatcherProgram[] = L"traywatch";

class Watcher {
 public:
  virtual ~Watcher() = default;
  virtual bool isWaiting() = 0;
  // Asks a waiting traywatch to end without its scan and waits a little for it to go; true when
  // none waits afterwards.
  virtual bool stopQuietly() = 0;
};

}  // namespace zelvo
