#include "services/linux/linux_drives.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <climits>  // INT_MAX, with which <linux/cdrom.h> spells CDSL_CURRENT

#include "services/linux/drive_call.h"
#include "services/linux/unique_any.h"
#include "services/text.h"

namespace zelvo::linux_os {

namespace {

// How long a drive may take to tell whether it holds a disc.
constexpr std::chrono::milliseconds kDiscTestDeadline{2000};

}  // namespace

int LinuxDrives::driveCount() {
  readList();
  return static_cast<int>(entries_.size());
}

void LinuxDrives::readList() {
  optical_ = opticalDrives();
  entries_.assign(1, driveListEntry(kRootDriveLetter));
  for (size_t i = 0; i < optical_.size(); ++i) {
    const auto letter = static_cast<wchar_t>(kFirstOpticalLetter + static_cast<wchar_t>(i));
    if (letter > L'z') break;  // no letters left
    entries_.push_back(driveListEntry(letter));
  }
}

std::wstring LinuxDrives::driveEntry(int index) {
  if (index < 0 || index >= driveCount()) throw ServiceError(EINVAL);
  return entries_[static_cast<size_t>(index)];
}

const OpticalDrive* LinuxDrives::opticalDrive(const std::wstring& driveName) const {
  if (driveName.size() < 2 || driveName[1] != L':') return nullptr;
  const auto index = opticalIndexOf(driveName[0]);
  return index && *index < optical_.size() ? &optical_[*index] : nullptr;
}

unsigned LinuxDrives::driveType(const std::wstring& driveName) {
  if (driveName.size() >= 2 && driveName[1] == L':' &&
      (driveName[0] == kRootDriveLetter || driveName[0] == L'C')) {
    return kDriveFixed;
  }
  return opticalDrive(driveName) ? kDriveCdrom : kDriveNoRootDir;
}

void LinuxDrives::makeDriveCurrent(const std::wstring& driveName) {
  // Linux has no current drive to change: the test is all the scan needs of this step.
  if (driveType(driveName) == kDriveFixed) return;
  const OpticalDrive* drive = opticalDrive(driveName);
  if (!drive) throw ServiceError(ENODEV);
  const auto askStatus = [](const void* node) {
    const UniqueFd device(
        ::open(static_cast<const char*>(node), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!device) return -errno;
    const int answer = ::ioctl(device.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
    return answer < 0 ? -errno : answer;
  };
  const auto untilDue = std::chrono::ceil<std::chrono::milliseconds>(
      std::max(due_ - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero()));
  const std::optional<int> status = callWithin(std::min(kDiscTestDeadline, untilDue),
                                               Inherited::Closed, askStatus,
                                               drive->deviceNode.c_str());
  if (!status) throw ServiceError(ETIMEDOUT);
  if (*status < 0) throw ServiceError(static_cast<unsigned long>(-*status));
  if (*status != CDS_DISC_OK) throw ServiceError(ENOMEDIUM);  // no disc, an open tray, not ready
}

}  // namespace zelvo::linux_os
