// traypop's drive control on Linux, where there is no MCI: the two command texts it sends
// ("open E: type cdaudio alias DriveE wait", "set DriveE door open") drive the optical drive's
// device node directly.
//
// Codes, MCI's own numbers: 0 done; 261 (MCIERR_UNRECOGNIZED_COMMAND) any other text;
// 263 (MCIERR_INVALID_DEVICE_NAME) a letter with no optical drive, or an alias not opened;
// 289 (MCIERR_DUPLICATE_ALIAS) an alias opened twice; 262 (MCIERR_HARDWARE) the device would not
// open, or the tray would not come out (also when the drive did not answer in time).
#pragma once

#include <map>
#include <string>

#include "services/drive_control.h"
#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

class LinuxDriveControl final : public DriveControl {
 public:
  // The first command that failed: its code and what a user reads of it, in one line.
  struct Failure {
    long code = 0;
    std::string text;
  };

  long sendDriveCommand(const std::wstring& command) override;
  const Failure& failure() const { return failure_; }

 private:
  struct HeldDevice {
    UniqueFd device;
    std::string deviceNode;
    std::string driveName;  // as the open command gave it: E
  };

  // Opens the drive's node read-only and without blocking (an open tray stays open, an empty
  // drive opens as well) and holds it under the alias until the program ends.
  long openDevice(const std::wstring& deviceName, const std::wstring& alias);
  // Unlocks the door and ejects; when a mounted file system holds the disc, asks UDisks2 to
  // unmount it and ejects again. A drive that does not answer in time is given up.
  long openDoor(const std::wstring& alias);
  long failed(long code, std::string text);

  std::map<std::wstring, HeldDevice> held_;
  Failure failure_;
};

}  // namespace zelvo::linux_os
