#include "services/linux/drive_commands.h"

namespace zelvo::linux_os {
namespace {

// The text between a fixed beginning and a fixed end, when the command has both.
bool between(std::wstring_view command, std::wstring_view begin, std::wstring_view end,
             std::wstring_view& middle) {
  if (command.size() < begin.size() + end.size() || !command.starts_with(begin) ||
      !command.ends_with(end)) {
    return false;
  }
  middle = command.substr(begin.size(), command.size() - begin.size() - end.size());
  return true;
}

bool isWord(std::wstring_view text) {
  return !text.empty() && text.find(L' ') == std::wstring_view::npos;
}

}  // namespace

DriveCommand parseDriveCommand(std::wstring_view command) {
  std::wstring_view middle;
  if (between(command, L"open ", L" wait", middle)) {
    constexpr std::wstring_view kTypeAndAlias = L" type cdaudio alias ";
    const size_t split = middle.find(kTypeAndAlias);
    if (split == std::wstring_view::npos) return {};
    const std::wstring_view deviceName = middle.substr(0, split);
    const std::wstring_view alias = middle.substr(split + kTypeAndAlias.size());
    if (deviceName.find(L' ') != std::wstring_view::npos || !isWord(alias)) return {};
    return OpenCommand{std::wstring(deviceName), std::wstring(alias)};
  }
  if (between(command, L"set ", L" door open", middle) && isWord(middle)) {
    return DoorOpenCommand{std::wstring(middle)};
  }
  return {};
}

}  // namespace zelvo::linux_os
