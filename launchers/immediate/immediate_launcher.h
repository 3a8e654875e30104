// trayflush: a hidden window whose timer runs the drive scan on its first tick and ends the
// program on its third, so every tray with a disc opens right after logon.
#pragma once

#include <string>

#include "launchers/scan/drive_scan.h"
#include "services/form_design.h"
#include "services/timer_control.h"

namespace zelvo {

// The tick count as the timer's tag holds it: whole numbers as plain decimal text.
std::wstring nextTickCount(const std::wstring& tag);

class ImmediateLauncher final : public FormHandlers {
 public:
  explicit ImmediateLauncher(const LauncherServices& services);

  const FormDesign& frmMain() const { return frmMain_; }
  TimerControl& Timer1() { return Timer1_; }

  void onTimer1Tick();

 private:
  LauncherServices services_;
  DriveScan scan_;
  TimerControl Timer1_{500, L"1"};
  FormDesign frmMain_;
};

}  // namespace zelvo
