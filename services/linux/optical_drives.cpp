#include "services/linux/optical_drives.h"

#include <dirent.h>
#include <libudev.h>

#include <algorithm>
#include <cstring>

#include "services/linux/unique_any.h"

namespace zelvo::linux_os {
namespace {

void unrefUdev(udev* context) {
  ::udev_unref(context);
}
void unrefDevice(udev_device* device) {
  ::udev_device_unref(device);
}
using UniqueUdev = UniqueAny<udev*, unrefUdev>;
using UniqueUdevDevice = UniqueAny<udev_device*, unrefDevice>;
void closeDir(DIR* folder) {
  ::closedir(folder);
}
using UniqueDir = UniqueAny<DIR*, closeDir>;

// A kernel name split into its text and the number it ends in.
std::pair<std::string_view, unsigned long long> splitKernelName(std::string_view name) {
  size_t digits = name.size();
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  unsigned long long number = 0;
  for (const char digit : name.substr(digits)) {
    number = number * 10 + static_cast<unsigned>(digit - '0');
  }
  return {name.substr(0, digits), number};
}

}  // namespace

bool kernelNameBefore(std::string_view left, std::string_view right) {
  const auto leftParts = splitKernelName(left), rightParts = splitKernelName(right);
  if (leftParts != rightParts) return leftParts < rightParts;
  return left < right;  // sr01 and sr1: any fixed order
}

std::vector<std::string> candidateNames() {
  std::vector<std::string> names;
  const UniqueDir blockDevices(::opendir("/sys/class/block"));
  if (!blockDevices) return names;
  while (const dirent* entry = ::readdir(blockDevices.get())) {
    // Only the kernel names udev's cdrom_id looks at (60-cdrom_id.rules) can be optical drives:
    // every other block device (loop, nvme, dm, zram, ...) is passed over by its name alone.
    const std::string_view name = entry->d_name;
    if (!name.starts_with("sr") && !name.starts_with("xvd") && !name.starts_with("vdisk")) continue;
    // Put in place as found: a machine has a few drives, and a sort would weigh more than the
    // rest of the lettering.
    names.insert(std::upper_bound(names.begin(), names.end(), name, kernelNameBefore),
                 std::string(name));
  }
  return names;
}

std::vector<OpticalDrive> opticalDrivesAmong(const std::vector<std::string>& names, size_t wanted) {
  std::vector<OpticalDrive> drives;
  if (names.empty()) return drives;
  const UniqueUdev context(::udev_new());
  if (!context) return drives;
  // Each name's record, as far as the caller needs: whether it is an optical drive
  // (ID_CDROM=1), the drive itself and not a partition of a disc in it, and its device node.
  std::string path = "/sys/class/block/";
  const size_t folderLength = path.size();
  for (const std::string& name : names) {
    if (drives.size() == wanted) break;
    path.replace(folderLength, std::string::npos, name);
    const UniqueUdevDevice device(::udev_device_new_from_syspath(context.get(), path.c_str()));
    if (!device) continue;
    const char* optical = ::udev_device_get_property_value(device.get(), "ID_CDROM");
    const char* type = ::udev_device_get_devtype(device.get());
    const char* node = ::udev_device_get_devnode(device.get());
    if (!optical || std::strcmp(optical, "1") != 0 || !type || std::strcmp(type, "disk") != 0 ||
        !node) {
      continue;
    }
    drives.push_back({name, node});
  }
  return drives;
}

std::optional<size_t> opticalIndexOf(wchar_t letter) {
  if (letter >= L'A' && letter <= L'Z') letter = static_cast<wchar_t>(letter - L'A' + L'a');
  if (letter < kFirstOpticalLetter || letter > L'z') return std::nullopt;
  return static_cast<size_t>(letter - kFirstOpticalLetter);
}

}  // namespace zelvo::linux_os
