#include "launchers/scan/drive_scan.h"

#include "services/text.h"

namespace zelvo {
namespace {

std::wstring driveNameOf(const std::wstring& entry) {
  return entry.substr(0, 2);
}
std::wstring driveLetterOf(const std::wstring& entry) {
  return entry.substr(0, 1);
}

}  // namespace

void DriveScan::scanAndEject() {
  services_.processPendingEvents();
  // The walk is fixed now; drives that appear meanwhile wait for the next run.
  const int count = services_.driveCount();
  for (int index = 0; index < count; ++index) {
    // Only a CD drive is ever made current: floppy, network and hard drives are left alone.
    if (services_.driveType(driveNameOf(services_.driveEntry(index))) != kDriveCdrom) continue;
    if (!CzyJestCD(driveNameOf(services_.driveEntry(index)))) continue;
    services_.processPendingEvents();
    openCD(driveLetterOf(services_.driveEntry(index)));
  }
}

bool DriveScan::CzyJestCD(const std::wstring& driveName) {
  try {
    services_.makeDriveCurrent(driveName);
    return true;
  } catch (const ServiceError&) {
    return false;
  }
}

void DriveScan::openCD(const std::wstring& letter) {
  const std::wstring driveLetter = letter;
  try {
    ProgramStart start;
    start.applicationPath = joinPath(services_.programFolder(), kOpenerFileName);
    start.argumentText = driveLetter;
    start.windowStyle = kShowMinimized;
    if (afterLaunch_ == AfterLaunch::EndProgram) start.waitForExit = kOpenerGrace;
    services_.startProgram(start);
  } catch (const ServiceError&) {
    services_.messageBox(
        L"Nie mogę znaleźć pliku: " + joinPath(services_.programFolder(), kOpenerFileName),
        kStyleExclamation, kErrorTitle);
  }
  if (afterLaunch_ == AfterLaunch::EndProgram) services_.endProgram();
}

}  // namespace zelvo
