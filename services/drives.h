// The drives as the launchers see them: the drive list, each drive's type, and the disc test.
#pragma once

#include <string>

#include "services/service_error.h"

namespace zelvo {

// Drive types: no such drive (DRIVE_NO_ROOT_DIR), a fixed disk (DRIVE_FIXED), and the type
// that marks a CD drive (DRIVE_CDROM).
inline constexpr unsigned kDriveNoRootDir = 1;
inline constexpr unsigned kDriveFixed = 3;
inline constexpr unsigned kDriveCdrom = 5;

class Drives {
 public:
  virtual ~Drives() = default;

  // The drive list: one entry per present drive in drive-letter order, each beginning with the
  // lower-case letter and a colon; display text may follow. Read once, when the program starts.
  virtual int driveCount() = 0;
  virtual std::wstring driveEntry(int index) = 0;
  // Type of the drive named by its two characters, letter and colon (5 for a CD drive).
  virtual unsigned driveType(const std::wstring& driveName) = 0;
  // Makes the named drive the process's current drive; raises ServiceError when it cannot,
  // in particular when no readable disc is inserted. Never shows a system "no disk" box.
  virtual void makeDriveCurrent(const std::wstring& driveName) = 0;
};

}  // namespace zelvo
