// The waiting traywatch as konfigurator reaches it on Linux: through its lock and the socket of
// its quiet stop, in the user's meeting place (see meeting_place.h).
#pragma once

#include <optional>

#include "services/linux/meeting_place.h"
#include "services/watcher.h"

namespace zelvo::linux_os {

class LinuxWatcher final : public Watcher {
 public:
  // A copy that holds the lock counts, also while it is still starting and not yet listening.
  bool isWaiting() override;
  // Asks every copy that holds the lock to go, until none does or the deadline passes: one
  // that is just starting is asked as soon as it listens.
  bool stopQuietly() override;

 private:
  // The place of this session's traywatch, found once: the session stays while konfigurator
  // runs, and a logind that does not answer is waited for only once.
  const MeetingPlace* place();

  bool looked_ = false;
  std::optional<MeetingPlace> place_;
};

}  // namespace zelvo::linux_os
