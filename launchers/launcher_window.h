// The hidden window both launchers are built on.
#pragma once

#include <string>

#include "services/form_design.h"

namespace zelvo {

// Never shown, no taskbar button; it exists to hear its events.
inline FormDesign hiddenLauncherWindow(const std::wstring& programName) {
  FormDesign design;
  design.className = launcherWindowClass(programName);
  design.caption = L"Kolvan";
  design.programTitle = programName;
  design.iconResource = 1;  // the icon in each launcher's .rc
  return design;
}

}  // namespace zelvo
