// The hidden window both launchers are built on.
#pragma once

#include <string>

#include "services/form_design.h"

namespace zelvo {

// Never shown, no taskbar button; it exists to carry the drive list and to hear its events.
inline FormDesign hiddenLauncherWindow(const std::wstring& programName) {
  FormDesign design;
  design.className = L"Zelvo CD " + programName;
  design.caption = L"Kolvan";
  design.programTitle = programName;
  design.iconResource = 1;  // the icon in each launcher's .rc
  design.listsDrives = true;
  return design;
}

}  // namespace zelvo
