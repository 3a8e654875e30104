#include "opener/tray_opener.h"

namespace zelvo {

std::wstring driveLetterOf(const std::wstring& argumentText) {
  return argumentText.substr(0, 1);
}

long openTray(DriveControl& driveControl, const std::wstring& driveLetter) {
  const std::wstring alias = L"Drive" + driveLetter;
  driveControl.sendDriveCommand(L"open " + driveLetter + L": type cdaudio alias " + alias +
                                L" wait");
  // No close command: the device stays held under the alias until the process ends.
  return driveControl.sendDriveCommand(L"set " + alias + L" door open");
}

void runTrayOpener(Process& process, DriveControl& driveControl) {
  openTray(driveControl, driveLetterOf(process.commandLine()));
  process.endProgram();
}

}  // namespace zelvo
