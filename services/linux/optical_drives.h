// Which drive letter names which optical drive on Linux: c: is the root file system, and the
// optical drives that udev reports (block devices with ID_CDROM=1) follow from d:, in the
// numeric order of their kernel names (sr0, sr1, ..., sr9, sr10). Both the launchers' drive list
// and traypop's drive control letter the drives this way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelvo::linux_os {

inline constexpr wchar_t kRootDriveLetter = L'c';
inline constexpr wchar_t kFirstOpticalLetter = L'd';

struct OpticalDrive {
  std::string kernelName;  // sr0
  std::string deviceNode;  // /dev/sr0
};

// The kernel names that can be optical drives, in lettering order, from the kernel's list of
// block devices alone: no device's record is read.
std::vector<std::string> candidateNames();
// The optical drives among those names, by udev's records, in their order: all of them, or only
// the first `wanted` (traypop needs those up to its letter's alone).
std::vector<OpticalDrive> opticalDrivesAmong(const std::vector<std::string>& names,
                                             size_t wanted = SIZE_MAX);
// The optical drives udev knows now, in lettering order.
inline std::vector<OpticalDrive> opticalDrives(size_t wanted = SIZE_MAX) {
  return opticalDrivesAmong(candidateNames(), wanted);
}

// Orders kernel names by their text, then by the number they end in: sr2 before sr10.
bool kernelNameBefore(std::string_view left, std::string_view right);

// The optical drive's place in the list for a drive letter of either case; none for c:, for a
// letter beyond z and for anything that is no letter.
std::optional<size_t> opticalIndexOf(wchar_t letter);

}  // namespace zelvo::linux_os
