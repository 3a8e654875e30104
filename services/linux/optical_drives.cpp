#include "services/linux/optical_drives.h"

#include <libudev.h>

#include <algorithm>
#include <cstring>

#include "services/linux/unique_any.h"

namespace zelvo::linux_os {
namespace {

void unrefUdev(udev* context) {
  ::udev_unref(context);
}
void unrefEnumerate(udev_enumerate* enumerate) {
  ::udev_enumerate_unref(enumerate);
}
void unrefDevice(udev_device* device) {
  ::udev_device_unref(device);
}
using UniqueUdev = UniqueAny<udev*, unrefUdev>;
using UniqueUdevEnumerate = UniqueAny<udev_enumerate*, unrefEnumerate>;
using UniqueUdevDevice = UniqueAny<udev_device*, unrefDevice>;

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

std::vector<OpticalDrive> opticalDrives() {
  std::vector<OpticalDrive> drives;
  const UniqueUdev context(::udev_new());
  if (!context) return drives;
  const UniqueUdevEnumerate enumerate(::udev_enumerate_new(context.get()));
  if (!enumerate) return drives;
  ::udev_enumerate_add_match_subsystem(enumerate.get(), "block");
  // The kernel names udev's cdrom_id, which sets ID_CDROM, looks at (60-cdrom_id.rules): named
  // here, they let the scan pass over every other block device (loop, nvme, dm, zram, ...)
  // without reading its record, which makes up most of traypop's run on a desktop.
  for (const char* name : {"sr*", "xvd*", "vdisk*"}) {
    ::udev_enumerate_add_match_sysname(enumerate.get(), name);
  }
  ::udev_enumerate_add_match_property(enumerate.get(), "ID_CDROM", "1");
  if (::udev_enumerate_scan_devices(enumerate.get()) < 0) return drives;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, ::udev_enumerate_get_list_entry(enumerate.get())) {
    const UniqueUdevDevice device(
        ::udev_device_new_from_syspath(context.get(), ::udev_list_entry_get_name(entry)));
    if (!device) continue;
    // The drive itself, not a partition of a disc in it.
    const char* type = ::udev_device_get_devtype(device.get());
    const char* node = ::udev_device_get_devnode(device.get());
    const char* name = ::udev_device_get_sysname(device.get());
    if (!type || std::strcmp(type, "disk") != 0 || !node || !name) continue;
    // Put in place as found: a machine has a few drives, and a sort would weigh more than all
    // the rest of the lettering.
    const auto place = std::upper_bound(drives.begin(), drives.end(), std::string_view(name),
                                        [](std::string_view kernelName, const OpticalDrive& drive) {
                                          return kernelNameBefore(kernelName, drive.kernelName);
                                        });
    drives.insert(place, {name, node});
  }
  return drives;
}

std::optional<size_t> opticalIndexOf(wchar_t letter) {
  if (letter >= L'A' && letter <= L'Z') letter = static_cast<wchar_t>(letter - L'A' + L'a');
  if (letter < kFirstOpticalLetter || letter > L'z') return std::nullopt;
  return static_cast<size_t>(letter - kFirstOpticalLetter);
}

}  // namespace zelvo::linux_os
