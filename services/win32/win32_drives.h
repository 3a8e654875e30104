// Drives on Win32: the drive letters that are present, their types, and the disc test; and the
// drive-control commands, sent to MCI.
#pragma once

#include <string>
#include <vector>

#include "services/drive_control.h"
#include "services/drives.h"

namespace zelvo::win32 {

class Win32Drives final : public Drives {
 public:
  // The drive list is read here, once: from the letters alone, so that listing the drives never
  // touches a medium (no floppy seek, no disc spin-up, no wait on a network).
  Win32Drives();

  int driveCount() override { return static_cast<int>(entries_.size()); }
  std::wstring driveEntry(int index) override;
  unsigned driveType(const std::wstring& driveName) override;
  void makeDriveCurrent(const std::wstring& driveName) override;

 private:
  std::vector<std::wstring> entries_;
};

class Win32DriveControl final : public DriveControl {
 public:
  long sendDriveCommand(const std::wstring& command) override;
};

}  // namespace zelvo::win32
