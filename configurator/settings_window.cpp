#include "configurator/settings_window.h"

#include "configurator/resource.h"

namespace zelvo {

FormDesign frmKonfig() {
  FormDesign design;
  design.className = L"frmKonfig";
  design.caption = L"Konfigurator programu zelvo CD";
  design.programTitle = kProgramTitle;
  design.iconResource = IDI_KONFIGURATOR;
  design.visible = true;
  design.clientWidth = 4680;
  design.clientHeight = 2745;
  // In tab order; the check boxes are placed within the frame.
  design.controls = {
      {kFrame1, ControlKind::Frame, L"Dodaj do autostartu programy:", 120, 120, 4455, 855},
      {kCheck1, ControlKind::CheckBox, L"Wysuwaj tacki teraz", 120, 240, 3615, 255, kFrame1},
      {kCheck2, ControlKind::CheckBox, L"Wysuwaj tacki przy zamykaniu windows", 120, 480, 3495, 255,
       kFrame1},
      {kLabel1, ControlKind::Label,
       L"Programy które dodajesz do autostartu wysuwają tackę napędu CD, jeśli w środku jest "
       L"płyta. Jeden z programów to robi przy starcie systemu a drugi przy zamykaniu windows "
       L"(jedyny warunek jest taki, że należy dodać te programy do autostartu aby działały)",
       120, 1080, 4335, 1095},
      {kCommand1, ControlKind::Button, L"Zapisz ustawienia", 120, 2280, 1935, 375},
      {kCommand2, ControlKind::Button, L"WWW", 2640, 2280, 1935, 375},
  };
  return design;
}

void SettingsWindow::load() {
  services_.setCheckState(kCheck1, autostart_.isEjectNowOn());
  services_.setCheckState(kCheck2, autostart_.isEjectAtShutdownOn());
}

void SettingsWindow::click(int controlId) {
  if (controlId == kCommand1) command1Click();
  if (controlId == kCommand2) command2Click();
}

void SettingsWindow::command1Click() {
  // Both entries are saved on every click, changed or not, so that a ticked one always points
  // at the folder the suite lies in now. The second is saved even when the first failed.
  const bool nowSaved =
      services_.checkState(kCheck1) == 1 ? autostart_.addEjectNow() : autostart_.removeEjectNow();
  const bool atShutdownSaved = services_.checkState(kCheck2) == 1
                                   ? autostart_.addEjectAtShutdown()
                                   : autostart_.removeEjectAtShutdown();
  if (nowSaved && atShutdownSaved) {
    services_.messageBox(kSavedMessage, kStyleInformation);
  } else {
    services_.messageBox(kNotSavedMessage, kStyleExclamation);
  }
  services_.endProgram();
}

void SettingsWindow::command2Click() {
  services_.openInBrowser(ZELVO_WEB_PAGE);
}

}  // namespace zelvo
