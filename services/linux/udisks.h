// UDisks2, the desktop's disk service on the system bus, for the one thing the drive control
// cannot do itself: unmount a file system on a disc, so that the disc can come out.
#pragma once

#include <string>

namespace zelvo::linux_os {

// Asks UDisks2 to unmount the file system on this device node (/dev/sr0), without asking the
// user for authorisation; true when it did. The system bus is the one DBUS_SYSTEM_BUS_ADDRESS
// names, when set.
bool unmountFileSystemOn(const std::string& deviceNode);

}  // namespace zelvo::linux_os
