#include "services/linux/linux_drive_control.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <variant>

#include "services/linux/drive_commands.h"
#include "services/linux/optical_drives.h"
#include "services/linux/udisks.h"

namespace zelvo::linux_os {
namespace {

// 0 when the tray came out, otherwise the errno of the eject. The unlock may be refused (the
// kernel lets only the device's one user unlock it) and is not looked at: the eject tells.
int ejectTray(int device) {
  ::ioctl(device, CDROM_LOCKDOOR, 0);
  return ::ioctl(device, CDROMEJECT, 0) == 0 ? 0 : errno;
}

}  // namespace

long LinuxDriveControl::sendDriveCommand(const std::wstring& command) {
  const DriveCommand parsed = parseDriveCommand(command);
  if (const auto* open = std::get_if<OpenCommand>(&parsed)) {
    return openDevice(open->deviceName, open->alias);
  }
  if (const auto* door = std::get_if<DoorOpenCommand>(&parsed)) return openDoor(door->alias);
  return kMciErrUnrecognizedCommand;
}

long LinuxDriveControl::openDevice(const std::wstring& deviceName, const std::wstring& alias) {
  if (held_.contains(alias)) return kMciErrDuplicateAlias;
  if (deviceName.size() != 2 || deviceName[1] != L':') return kMciErrInvalidDeviceName;
  const auto index = opticalIndexOf(deviceName[0]);
  if (!index) return kMciErrInvalidDeviceName;
  const std::vector<OpticalDrive> drives = opticalDrives();
  if (*index >= drives.size()) return kMciErrInvalidDeviceName;
  const std::string& node = drives[*index].deviceNode;
  UniqueFd device(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!device) return kMciErrHardware;
  held_.emplace(alias, HeldDevice{std::move(device), node});
  return 0;
}

long LinuxDriveControl::openDoor(const std::wstring& alias) {
  const auto held = held_.find(alias);
  if (held == held_.end()) return kMciErrInvalidDeviceName;
  const int device = held->second.device.get();
  int error = ejectTray(device);
  // The kernel refuses while anyone else holds the device, as a mounted file system does.
  if (error == EBUSY && unmountFileSystemOn(held->second.deviceNode)) error = ejectTray(device);
  return error == 0 ? 0 : kMciErrHardware;
}

}  // namespace zelvo::linux_os
