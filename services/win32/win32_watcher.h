// The waiting traywatch as konfigurator reaches it on Win32: its instance mutex tells whether it
// waits in this session, and its hidden window takes the quiet stop.
#pragma once

#include "services/watcher.h"

namespace zelvo::win32 {

class Win32Watcher final : public Watcher {
 public:
  bool isWaiting() override;
  bool stopQuietly() override;
};

}  // namespace zelvo::win32
