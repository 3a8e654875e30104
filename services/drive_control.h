// The drive-control commands: the command strings of the multimedia command interface that
// traypop sends to open a door.
#pragma once

#include <string>

namespace zelvo {

class DriveControl {
 public:
  virtual ~DriveControl() = default;
  // One command string, with no reply buffer and no notification window; returns the
  // interface's error code (0 for success). A device opened under an alias stays held until the
  // program ends.
  virtual long sendDriveCommand(const std::wstring& command) = 0;
};

}  // namespace zelvo
