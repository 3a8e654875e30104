#include "services/linux/linux_drive_control.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <variant>

#include "services/linux/drive_call.h"
#include "services/linux/drive_commands.h"
#include "services/linux/optical_drives.h"
#include "services/linux/udisks.h"
#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

// How long the tray may take to come out: a slow drive's tray takes a few seconds, and a drive
// that answers nothing in this time is given up.
constexpr std::chrono::milliseconds kEjectDeadline{5000};

// 0 when the tray came out, otherwise the errno of the eject; none when the drive did not
// answer. The unlock may be refused (the kernel lets only the device's one user unlock it) and
// is not looked at: the eject tells. Made on the one descriptor that holds the device, since
// the kernel ejects only for a drive opened once.
std::optional<int> ejectTray(int device) {
  const auto eject = [](const void* held) {
    const int fd = *static_cast<const int*>(held);
    ::ioctl(fd, CDROM_LOCKDOOR, 0);
    return ::ioctl(fd, CDROMEJECT, 0) == 0 ? 0 : errno;
  };
  return callWithin(kEjectDeadline, Inherited::Kept, eject, &device);
}

std::string driveWithNode(const std::string& driveName, const std::string& node) {
  return "napęd " + driveName + " (" + node + ")";
}

}  // namespace

long LinuxDriveControl::sendDriveCommand(const std::wstring& command) {
  const DriveCommand parsed = parseDriveCommand(command);
  if (const auto* open = std::get_if<OpenCommand>(&parsed)) {
    return openDevice(open->deviceName, open->alias);
  }
  if (const auto* door = std::get_if<DoorOpenCommand>(&parsed)) return openDoor(door->alias);
  return failed(kMciErrUnrecognizedCommand, "nieznane polecenie: " + toBytes(command));
}

long LinuxDriveControl::failed(long code, std::string text) {
  if (failure_.code == 0) failure_ = {code, std::move(text)};
  return code;
}

long LinuxDriveControl::openDevice(const std::wstring& deviceName, const std::wstring& alias) {
  if (held_.contains(alias)) return failed(kMciErrDuplicateAlias, "alias już zajęty");
  const std::string driveName = toBytes(deviceName.substr(0, deviceName.find(L':')));
  if (driveName.empty()) return failed(kMciErrInvalidDeviceName, "nie podano litery napędu");
  const std::string noDrive = "nie ma napędu optycznego o literze " + driveName;
  if (deviceName.size() != 2 || deviceName[1] != L':') {
    return failed(kMciErrInvalidDeviceName, noDrive);
  }
  const auto index = opticalIndexOf(deviceName[0]);
  const std::vector<OpticalDrive> drives = opticalDrives();
  if (!index || *index >= drives.size()) return failed(kMciErrInvalidDeviceName, noDrive);
  const std::string& node = drives[*index].deviceNode;
  UniqueFd device(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!device) {
    return failed(kMciErrHardware, "nie można otworzyć: " + driveWithNode(driveName, node) + ": " +
                                       std::strerror(errno));
  }
  held_.emplace(alias, HeldDevice{std::move(device), node, driveName});
  return 0;
}

long LinuxDriveControl::openDoor(const std::wstring& alias) {
  const auto held = held_.find(alias);
  if (held == held_.end()) {
    return failed(kMciErrInvalidDeviceName, "nie otwarto urządzenia " + toBytes(alias));
  }
  const HeldDevice& drive = held->second;
  std::optional<int> error = ejectTray(drive.device.get());
  // The kernel refuses while anyone else holds the device, as a mounted file system does.
  if (error == EBUSY && unmountFileSystemOn(drive.deviceNode))
    error = ejectTray(drive.device.get());
  if (error == 0) return 0;
  const std::string what = driveWithNode(drive.driveName, drive.deviceNode);
  return failed(kMciErrHardware, error ? what + " nie wysunął tacki: " + std::strerror(*error)
                                       : what + " nie odpowiada");
}

}  // namespace zelvo::linux_os
