// The drive scan both launchers share: walk the drive list, keep the CD drives, test each for a
// disc by making it the current drive, and start traypop for each drive that holds one.
#pragma once

#include <chrono>
#include <string>

#include "services/drives.h"
#include "services/process.h"
#include "services/window.h"

namespace zelvo {

// What a launcher does once traypop has been started (or could not be): trayflush goes on with
// the next drive, traywatch ends, so that only the first drive with a disc is opened.
enum class AfterLaunch { ContinueScan, EndProgram };

// The system ends window-less programs such as traypop soon after the session ends; a launcher
// that ends the program after the launch gives the opener this long to open the door first.
inline constexpr std::chrono::milliseconds kOpenerGrace{5000};

inline constexpr wchar_t kOpenerProgram[] = L"traypop";
inline constexpr wchar_t kErrorTitle[] = L"Błąd";

// The services a launcher rests on.
struct LauncherServices {
  Process& process;
  Drives& drives;
  EventLoop& events;
  MessageBoxes& messageBoxes;
};

class DriveScan {
 public:
  DriveScan(const LauncherServices& services, AfterLaunch afterLaunch)
      : services_(services), afterLaunch_(afterLaunch) {}

  void scanAndEject();
  // The disc test: a CD drive that can be made the current drive holds a readable disc.
  bool CzyJestCD(const std::wstring& driveName);
  // Starts traypop for one drive letter and reports a failed start in a message box.
  void openCD(const std::wstring& letter);

 private:
  LauncherServices services_;
  AfterLaunch afterLaunch_;
};

}  // namespace zelvo
