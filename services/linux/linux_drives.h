// Drives on Linux: c: for the root file system, then the optical drives from d: on (see
// optical_drives.h), and the disc test, which asks the drive and never mounts anything.
//
// The letters follow the drives' order, so they move when a drive (a USB one) comes or goes. A
// scan's drives are the ones there when it starts (at driveCount): that one list serves every
// index of the scan, so a drive that leaves meanwhile costs only itself. Each drive's entry
// gives the letter traypop would find for it at that moment, so that the letter a launcher
// hands to traypop names the drive the scan tested.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "services/drives.h"
#include "services/linux/drive_call.h"
#include "services/linux/optical_drives.h"

namespace zelvo::linux_os {

class LinuxDrives final : public Drives {
 public:
  // The drive list, read from the kernel's list of block devices and udev's records (listing
  // the drives never touches a drive).
  // Each call starts a scan: it takes the list that the scan's other calls use, and starts the
  // disc tests of all its optical drives at once, so that a drive that hangs holds up none of
  // the others.
  int driveCount() override;
  // The scan's drive at this index, lettered as the drives are now; a drive that has left has
  // an empty entry.
  std::wstring driveEntry(int index) override;
  // c: is fixed, each optical drive of the scan's list a CD drive (by the letter its entry last
  // gave); any other name has no root (no such drive).
  unsigned driveType(const std::wstring& driveName) override;
  // c: is always there. An optical drive is made current when it reports a disc in place:
  // opened without blocking, so that an open tray is never pulled in, and asked its status,
  // which needs no spin-up and mounts nothing. The scan's test of the drive gives the answer; a
  // drive that has not answered within a few seconds of the scan's start counts as holding none.
  void makeDriveCurrent(const std::wstring& driveName) override;

  // From now on every disc test ends by `due` as well: a drive that has not answered by then
  // counts as holding none. traywatch sets it when the session ends, as a shutdown waits for it
  // only as long as logind's inhibitor delay.
  void limitScansTo(std::chrono::steady_clock::time_point due) { due_ = due; }

 private:
  struct OpticalEntry {
    OpticalDrive drive;
    wchar_t letter;                      // as last lettered; none (0) once the drive has left
    std::optional<ForkedCall> discTest;  // none once it has answered
    Clock::time_point testStarted;
  };

  OpticalEntry* opticalEntry(const std::wstring& driveName);
  // Gives each of the scan's drives the letter it has now.
  void letterAsNow();

  std::vector<std::string> candidates_;  // the names that could be optical drives, as last read
  std::vector<OpticalEntry> optical_;    // the scan's drives, from d: on
  Clock::time_point due_ = Clock::time_point::max();
};

}  // namespace zelvo::linux_os
