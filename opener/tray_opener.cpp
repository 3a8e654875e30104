#include "opener/tray_opener.h"

namespace zelvo {

std::wstring driveLetterOf(const std::wstring& argumentText) {
  return argumentText.substr(0, 1);
}

long openTray(ProgramServices& services, const std::wstring& driveLetter) {
  const std::wstring alias = L"Drive" + driveLetter;
  services.sendDriveCommand(L"open " + driveLetter + L": type cdaudio alias " + alias + L" wait");
  // No close command: the device stays held under the alias until the process ends.
  return services.sendDriveCommand(L"set " + alias + L" door open");
}

void runTrayOpener(ProgramServices& services) {
  openTray(services, driveLetterOf(services.commandLine()));
  services.endProgram();
}

}  // namespace zelvo
