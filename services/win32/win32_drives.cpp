#include "services/win32/win32_drives.h"

#include <windows.h>
// Needs the types of windows.h before it.
#include <mmsystem.h>

#include "services/text.h"
#include "services/win32/no_critical_error_boxes.h"

namespace zelvo::win32 {
namespace {

static_assert(kDriveNoRootDir == DRIVE_NO_ROOT_DIR);
static_assert(kDriveFixed == DRIVE_FIXED);
static_assert(kDriveCdrom == DRIVE_CDROM);
static_assert(kMciErrUnrecognizedCommand == MCIERR_UNRECOGNIZED_COMMAND);
static_assert(kMciErrHardware == MCIERR_HARDWARE);
static_assert(kMciErrInvalidDeviceName == MCIERR_INVALID_DEVICE_NAME);
static_assert(kMciErrDuplicateAlias == MCIERR_DUPLICATE_ALIAS);

std::wstring rootOf(const std::wstring& driveName) {
  return std::wstring(driveName.substr(0, 1)) + L":\\";
}

}  // namespace

Win32Drives::Win32Drives() {
  const DWORD mask = ::GetLogicalDrives();
  for (int bit = 0; bit < 26; ++bit) {
    if (mask & (1u << bit)) entries_.push_back(driveListEntry(static_cast<wchar_t>(L'A' + bit)));
  }
}

std::wstring Win32Drives::driveEntry(int index) {
  if (index < 0 || index >= driveCount()) throw ServiceError(ERROR_INVALID_INDEX);
  return entries_[static_cast<size_t>(index)];
}

unsigned Win32Drives::driveType(const std::wstring& driveName) {
  // The documented form is the root path with its backslash.
  return ::GetDriveTypeW(rootOf(driveName).c_str());
}

void Win32Drives::makeDriveCurrent(const std::wstring& driveName) {
  if (driveName.empty()) throw ServiceError(ERROR_INVALID_DRIVE);
  NoCriticalErrorBoxes quiet;
  if (!::SetCurrentDirectoryW(rootOf(driveName).c_str())) throw ServiceError(::GetLastError());
}

long Win32DriveControl::sendDriveCommand(const std::wstring& command) {
  return static_cast<long>(::mciSendStringW(command.c_str(), nullptr, 0, nullptr));
}

}  // namespace zelvo::win32
