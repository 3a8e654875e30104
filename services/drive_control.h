// The drive-control commands: the command strings of the multimedia command interface that
// traypop sends to open a door.
#pragma once

#include <string>

namespace zelvo {

// MCI's error codes, which a drive-control layer on a platform without MCI answers with too:
// a command text it does not know, a drive that failed, no drive or alias of that name, and an
// alias already taken.
inline constexpr long kMciErrUnrecognizedCommand = 261;
inline constexpr long kMciErrHardware = 262;
inline constexpr long kMciErrInvalidDeviceName = 263;
inline constexpr long kMciErrDuplicateAlias = 289;

class DriveControl {
 public:
  virtual ~DriveControl() = default;
  // One command string, with no reply buffer and no notification window; returns the
  // interface's error code (0 for success). A device opened under an alias stays held until the
  // program ends.
  virtual long sendDriveCommand(const std::wstring& command) = 0;
};

}  // namespace zelvo
