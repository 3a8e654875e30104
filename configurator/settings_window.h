// frmKonfig, the suite's one visible window: two check boxes for the start-up entries, a button
// that saves them and ends the program, and one that opens the maker's web page.
#pragma once

#include "configurator/autostart.h"
#include "services/form_design.h"
#include "services/program_services.h"

namespace zelvo {

// Control ids. They stay clear of IDOK and IDCANCEL, which the dialog keys Enter and Esc send.
enum KonfigControl : int {
  kFrame1 = 101,
  kCheck1,
  kCheck2,
  kLabel1,
  kCommand1,
  kCommand2,
};

inline constexpr wchar_t kProgramTitle[] = L"Zelvo CD - konfigurator";
inline constexpr wchar_t kSavedMessage[] = L"Ustawienia zostały zapisane";
inline constexpr wchar_t kNotSavedMessage[] = L"Nie udało się zapisać ustawień.";

// The window as it was drawn, in twips.
FormDesign frmKonfig();

class SettingsWindow final : public FormHandlers {
 public:
  SettingsWindow(ProgramServices& services, Autostart& autostart)
      : services_(services), autostart_(autostart) {}

  void load() override;
  void click(int controlId) override;

 private:
  void command1Click();
  void command2Click();

  ProgramServices& services_;
  Autostart& autostart_;
};

}  // namespace zelvo
