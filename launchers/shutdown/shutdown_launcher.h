// traywatch: a hidden window that waits for the session to end, then opens the first CD drive,
// in drive-letter order, that holds a disc. Only one copy waits at a time.
#pragma once

#include "launchers/scan/drive_scan.h"
#include "services/form_design.h"

namespace zelvo {

inline constexpr wchar_t kAlreadyRunningText[] =
    L"Program już jest uruchomiony !!! Program jest niewidoczny, w tej chwili czeka na zamknięcie "
    L"systemu, aby móc wysunąć tackę napędu CD";
inline constexpr wchar_t kCannotTellCopiesText[] =
    L"Program nie może czekać na zamknięcie systemu: brak prywatnego folderu użytkownika.";

class ShutdownLauncher final : public FormHandlers {
 public:
  explicit ShutdownLauncher(const LauncherServices& services);

  const FormDesign& frmMain() const { return frmMain_; }
  bool alreadyRunning() const { return alreadyRunning_; }

  void load() override;
  void unload() override;

 private:
  LauncherServices services_;
  DriveScan scan_;
  FormDesign frmMain_;
  bool alreadyRunning_ = false;
};

}  // namespace zelvo
