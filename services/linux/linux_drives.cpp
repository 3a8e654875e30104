#include "services/linux/linux_drives.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <climits>  // INT_MAX, with which <linux/cdrom.h> spells CDSL_CURRENT

#include "services/linux/unique_any.h"
#include "services/text.h"

namespace zelvo::linux_os {

namespace {

// How long a drive may take to tell whether it holds a disc.
constexpr std::chrono::milliseconds kDiscTestDeadline{2000};

// The drive's status (CDS_DISC_OK and the others) or minus the errno.
int askStatus(const void* node) {
  const UniqueFd device(::open(static_cast<const char*>(node), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!device) return -errno;
  const int answer = ::ioctl(device.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
  return answer < 0 ? -errno : answer;
}

}  // namespace

int LinuxDrives::driveCount() {
  // The previous scan's tests still running (traywatch's after the first disc) are killed here.
  optical_.clear();
  candidates_ = candidateNames();
  const Clock::time_point now = Clock::now();
  for (OpticalDrive& drive : opticalDrivesAmong(candidates_)) {
    const auto letter = static_cast<wchar_t>(kFirstOpticalLetter + optical_.size());
    if (letter > L'z') break;  // no letters left
    ForkedCall test(askStatus, drive.deviceNode.c_str());
    optical_.push_back({std::move(drive), letter, std::move(test), now});
  }
  return static_cast<int>(optical_.size() + 1);  // c: first
}

std::wstring LinuxDrives::driveEntry(int index) {
  if (index < 0 || static_cast<size_t>(index) > optical_.size()) throw ServiceError(EINVAL);
  if (index == 0) return driveListEntry(kRootDriveLetter);
  letterAsNow();
  const wchar_t letter = optical_[static_cast<size_t>(index - 1)].letter;
  return letter ? driveListEntry(letter) : std::wstring();
}

void LinuxDrives::letterAsNow() {
  std::vector<std::string> present = candidateNames();
  if (present == candidates_) return;  // no drive came or went since the last lettering
  candidates_ = std::move(present);
  const std::vector<OpticalDrive> lettered = opticalDrivesAmong(candidates_);
  for (OpticalEntry& entry : optical_) {
    const auto place =
        static_cast<size_t>(std::find_if(lettered.begin(), lettered.end(),
                                         [&](const OpticalDrive& drive) {
                                           return drive.kernelName == entry.drive.kernelName;
                                         }) -
                            lettered.begin());
    const auto letter = static_cast<wchar_t>(kFirstOpticalLetter + place);
    entry.letter = place < lettered.size() && letter <= L'z' ? letter : 0;
  }
}

LinuxDrives::OpticalEntry* LinuxDrives::opticalEntry(const std::wstring& driveName) {
  const std::optional<size_t> index =
      driveName.size() >= 2 && driveName[1] == L':' ? opticalIndexOf(driveName[0]) : std::nullopt;
  if (!index) return nullptr;
  const auto letter = static_cast<wchar_t>(kFirstOpticalLetter + *index);
  const auto entry =
      std::find_if(optical_.begin(), optical_.end(),
                   [letter](const OpticalEntry& drive) { return drive.letter == letter; });
  return entry == optical_.end() ? nullptr : &*entry;
}

unsigned LinuxDrives::driveType(const std::wstring& driveName) {
  if (driveName.size() >= 2 && driveName[1] == L':' &&
      (driveName[0] == kRootDriveLetter || driveName[0] == L'C')) {
    return kDriveFixed;
  }
  return opticalEntry(driveName) ? kDriveCdrom : kDriveNoRootDir;
}

void LinuxDrives::makeDriveCurrent(const std::wstring& driveName) {
  // Linux has no current drive to change: the test is all the scan needs of this step.
  if (driveType(driveName) == kDriveFixed) return;
  OpticalEntry* entry = opticalEntry(driveName);
  if (!entry) throw ServiceError(ENODEV);
  // The scan's test answers once; a drive asked again is tested again.
  if (!entry->discTest) {
    entry->discTest.emplace(askStatus, entry->drive.deviceNode.c_str());
    entry->testStarted = Clock::now();
  }
  const std::optional<int> status =
      entry->discTest->resultBy(std::min(entry->testStarted + kDiscTestDeadline, due_));
  entry->discTest.reset();
  if (!status) throw ServiceError(ETIMEDOUT);
  if (*status < 0) throw ServiceError(static_cast<unsigned long>(-*status));
  if (*status != CDS_DISC_OK) throw ServiceError(ENOMEDIUM);  // no disc, an open tray, not ready
}

}  // namespace zelvo::linux_os
