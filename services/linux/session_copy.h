// One copy of a program per logind session, as traywatch keeps it: the copy that holds the
// program's lock in the user's meeting place (meeting_place.h), named after the session logind
// gives (login_session.h), is the first. traywatch's main gives it to its process, which asks
// it, and to the loop sources that serve where the first copy met the others: the quiet stop
// listens beside the lock, and the session watched is the one the lock is named after.
#pragma once

#include <optional>
#include <string>

#include "services/linux/linux_process.h"
#include "services/linux/meeting_place.h"
#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

class SessionCopy final : public CopyCheck {
 public:
  SessionCopy() = default;
  SessionCopy(const SessionCopy&) = delete;
  SessionCopy& operator=(const SessionCopy&) = delete;

  // Raises ServiceError when the user has no meeting place, since copies could then not keep
  // apart.
  bool anotherCopyRuns(const std::string& programName) override;
  // The first copy takes its names in the place along (see leavePlace).
  void leave() override;

  // Where this copy met the others, once it has been found the first; else none.
  const MeetingPlace* place() const { return lock_ && place_ ? &*place_ : nullptr; }

 private:
  std::optional<MeetingPlace> place_;
  UniqueFd lock_;
  bool another_ = false;
};

}  // namespace zelvo::linux_os
