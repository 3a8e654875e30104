#include "launchers/scan/drive_scan.h"

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
  Drives& drives = services_.drives;
  services_.events.processPendingEvents();
  // The walk is fixed now; drives that appear meanwhile wait for the next run.
  const int count = drives.driveCount();
  for (int index = 0; index < count; ++index) {
    // Only a CD drive is ever made current: floppy, network and hard drives are left alone.
    if (drives.driveType(driveNameOf(drives.driveEntry(index))) != kDriveCdrom) continue;
    if (!CzyJestCD(driveNameOf(drives.driveEntry(index)))) continue;
    services_.events.processPendingEvents();
    openCD(driveLetterOf(drives.driveEntry(index)));
  }
}

bool DriveScan::CzyJestCD(const std::wstring& driveName) {
  try {
    services_.drives.makeDriveCurrent(driveName);
    return true;
  } catch (const ServiceError&) {
    return false;
  }
}

void DriveScan::openCD(const std::wstring& letter) {
  const std::wstring driveLetter = letter;
  Process& process = services_.process;
  try {
    ProgramStart start;
    start.applicationPath = programBesideUs(process, kOpenerProgram);
    start.argumentText = driveLetter;
    start.windowStyle = kShowMinimized;
    if (afterLaunch_ == AfterLaunch::EndProgram) start.waitForExit = kOpenerGrace;
    process.startProgram(start);
  } catch (const ServiceError&) {
    services_.messageBoxes.messageBox(
        L"Nie mogę znaleźć pliku: " + programBesideUs(process, kOpenerProgram), kStyleExclamation,
        kErrorTitle);
  }
  if (afterLaunch_ == AfterLaunch::EndProgram) process.endProgram();
}

}  // namespace zelvo
