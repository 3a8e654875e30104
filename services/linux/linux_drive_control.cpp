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

// How long a drive may take to answer: to open (waiting for the drive's lock while another
// command holds it), and to bring the tray out (a slow drive's tray takes a few seconds). A drive
// that answers nothing in this time is given up.
constexpr std::chrono::milliseconds kAnswerDeadline{5000};

// The held descriptor of the drive's node, opened read-only and without blocking (an open tray
// stays open, an empty drive opens as well), or minus the errno; none when the drive did not
// answer.
std::optional<int> openNode(const std::string& node) {
  const auto open = [](const void* path) {
    const int device = ::open(static_cast<const char*>(path), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return device < 0 ? -errno : device;
  };
  return callWithin(kAnswerDeadline, open, node.c_str(), node.size() + 1);
}

// 0 when the tray came out, otherwise the errno of the eject; none when the drive did not
// answer. The unlock may be refused (the kernel lets only the device's one user unlock it) and
// is not looked at: the eject tells. Made on the one descriptor that holds the device, since
// the kernel ejects only for a drive opened once.
std::optional<int> ejectTray(int device) {
  const auto eject = [](const void* held) {
    int fd = 0;
    std::memcpy(&fd, held, sizeof fd);
    ::ioctl(fd, CDROM_LOCKDOOR, 0);
    return ::ioctl(fd, CDROMEJECT, 0) == 0 ? 0 : errno;
  };
  return callWithin(kAnswerDeadline, eject, &device, sizeof device);
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
  return failed(kMciErrUnrecognizedCommand, "nieznane polecenie: " + printable(command));
}

long LinuxDriveControl::failed(long code, std::string text) {
  if (failure_.code == 0) failure_ = {code, std::move(text)};
  return code;
}

long LinuxDriveControl::openDevice(const std::wstring& deviceName, const std::wstring& alias) {
  if (held_.contains(alias)) return failed(kMciErrDuplicateAlias, "alias już zajęty");
  const std::string driveName = printable(deviceName.substr(0, deviceName.find(L':')));
  if (driveName.empty()) return failed(kMciErrInvalidDeviceName, "nie podano litery napędu");
  const std::string noDrive = "nie ma napędu optycznego o literze " + driveName;
  const auto index = deviceName.size() == 2 && deviceName[1] == L':' ? opticalIndexOf(deviceName[0])
                                                                     : std::nullopt;
  if (!index) return failed(kMciErrInvalidDeviceName, noDrive);
  const std::vector<OpticalDrive> drives = opticalDrives(*index + 1);
  if (*index >= drives.size()) return failed(kMciErrInvalidDeviceName, noDrive);
  const std::string& node = drives[*index].deviceNode;
  const std::optional<int> device = openNode(node);
  if (!device) return failed(kMciErrHardware, driveWithNode(driveName, node) + " nie odpowiada");
  if (*device < 0) {
    return failed(kMciErrHardware, "nie można otworzyć: " + driveWithNode(driveName, node) + ": " +
                                       std::strerror(-*device));
  }
  held_.emplace(alias, HeldDevice{UniqueFd(*device), node, driveName});
  return 0;
}

long LinuxDriveControl::openDoor(const std::wstring& alias) {
  const auto held = held_.find(alias);
  if (held == held_.end()) {
    return failed(kMciErrInvalidDeviceName, "nie otwarto urządzenia " + printable(alias));
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
