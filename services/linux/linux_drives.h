// Drives on Linux: c: for the root file system, then the optical drives from d: on (see
// optical_drives.h), and the disc test, which asks the drive and never mounts anything.
//
// The letters follow the drives' order, so they move when a drive (a USB one) comes or goes:
// the list is read afresh whenever a scan starts, so that the letters a launcher hands to
// traypop are the ones traypop reads from its own list a moment later.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "services/drives.h"
#include "services/linux/optical_drives.h"

namespace zelvo::linux_os {

class LinuxDrives final : public Drives {
 public:
  // The drive list, read from udev's records alone (listing the drives never touches a drive),
  // each time a scan starts.
  int driveCount() override;
  std::wstring driveEntry(int index) override;
  // c: is fixed, each optical drive a CD drive; any other name has no root (no such drive).
  unsigned driveType(const std::wstring& driveName) override;
  // c: is always there. An optical drive is made current when it reports a disc in place:
  // opened without blocking, so that an open tray is never pulled in, and asked its status,
  // which needs no spin-up and mounts nothing. A drive that has not answered within a few
  // seconds counts as holding none.
  void makeDriveCurrent(const std::wstring& driveName) override;

  // From now on every disc test ends by `due` as well: a drive that has not answered by then
  // counts as holding none. traywatch sets it when a shutdown starts, which waits for it only
  // as long as logind's inhibitor delay.
  void limitScansTo(std::chrono::steady_clock::time_point due) { due_ = due; }

 private:
  const OpticalDrive* opticalDrive(const std::wstring& driveName) const;
  void readList();

  std::vector<OpticalDrive> optical_;
  std::vector<std::wstring> entries_;
  std::chrono::steady_clock::time_point due_ = std::chrono::steady_clock::time_point::max();
};

}  // namespace zelvo::linux_os
