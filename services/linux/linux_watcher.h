// The waiting traywatch as konfigurator reaches it on Linux: through the socket of its quiet
// stop, in the user's runtime folder, named after it and the session.
#pragma once

#include "services/watcher.h"

namespace zelvo::linux_os {

class LinuxWatcher final : public Watcher {
 public:
  bool isWaiting() override;
  bool stopQuietly() override;
};

}  // namespace zelvo::linux_os
