#include "services/linux/session_copy.h"

#include <cerrno>

#include "services/linux/login_session.h"

namespace zelvo::linux_os {

bool SessionCopy::anotherCopyRuns(const std::string& programName) {
  if (lock_ || another_) return another_;
  if (!place_) place_ = meetingPlace(programName, findLoginSession());
  if (!place_) throw ServiceError(EACCES);
  lock_ = takeLock(*place_, another_);
  if (!lock_ && !another_) throw ServiceError(static_cast<unsigned long>(errno));
  return another_;
}

void SessionCopy::leave() {
  if (place_) leavePlace(*place_, lock_);
}

}  // namespace zelvo::linux_os
