// The two command texts traypop sends, as the drive control reads them on a platform without
// MCI: "open E: type cdaudio alias DriveE wait" and "set DriveE door open".
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace zelvo::linux_os {

struct OpenCommand {
  std::wstring deviceName;  // as written: "E:", or ":" for an empty letter
  std::wstring alias;
};

struct DoorOpenCommand {
  std::wstring alias;
};

// Either command, or nothing for any other text.
using DriveCommand = std::variant<std::monostate, OpenCommand, DoorOpenCommand>;

DriveCommand parseDriveCommand(std::wstring_view command);

}  // namespace zelvo::linux_os
