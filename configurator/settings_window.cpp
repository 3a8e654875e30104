#include "configurator/settings_window.h"

#include <algorithm>

#include "configurator/resource.h"
#include "launchers/scan/drive_scan.h"
#include "services/text.h"

namespace zelvo {

FormDesign frmKonfig(const PlatformTexts& texts) {
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
      {kCheck1, ControlKind::CheckBox, kEjectNowCaption, 120, 240, 3615, 255, kFrame1},
      {kCheck2, ControlKind::CheckBox, texts.ejectAtShutdownCaption, 120, 480, 3495, 255, kFrame1},
      {kLabel1, ControlKind::Label, texts.explanation, 120, 1080, 4335, 1095},
      {kCommand1, ControlKind::Button, L"Zapisz ustawienia", 120, 2280, 1935, 375},
      {kCommand2, ControlKind::Button, L"WWW", 2640, 2280, 1935, 375},
  };
  return design;
}

namespace {

// Each file on a line of its own after the words, then the settings that were not saved.
std::wstring filesAndUnsaved(const wchar_t* words, const std::vector<std::wstring>& files,
                             const std::vector<std::wstring>& unsavedCaptions) {
  std::wstring text;
  for (const std::wstring& file : files) text += words + file + L"\n";
  const bool one = unsavedCaptions.size() == 1;
  text += one ? L"\nUstawienie " : L"\nUstawienia ";
  for (size_t i = 0; i < unsavedCaptions.size(); ++i) {
    if (i > 0) text += L" i ";
    text += L"„" + unsavedCaptions[i] + L"”";
  }
  return text + (one ? L" nie zostało zapisane" : L" nie zostały zapisane");
}

}  // namespace

std::wstring missingFilesMessage(const std::vector<std::wstring>& missingFiles,
                                 const std::vector<std::wstring>& unsavedCaptions,
                                 const PlatformTexts& texts) {
  return filesAndUnsaved(L"Nie mogę znaleźć pliku: ", missingFiles, unsavedCaptions) + L". " +
         texts.missingFilesAdvice;
}

std::wstring unreadableEntriesMessage(const std::vector<std::wstring>& entryPlaces,
                                      const std::vector<std::wstring>& unsavedCaptions) {
  const bool one = entryPlaces.size() == 1;
  return filesAndUnsaved(L"Nie mogę odczytać pliku: ", entryPlaces, unsavedCaptions) +
         (one ? L", a plik został pozostawiony bez zmian. Sprawdź, czy to zwykły plik, który "
                L"możesz odczytać, albo usuń go i zapisz ustawienia jeszcze raz."
              : L", a pliki zostały pozostawione bez zmian. Sprawdź, czy to zwykłe pliki, które "
                L"możesz odczytać, albo usuń je i zapisz ustawienia jeszcze raz.");
}

std::wstring watcherNotStoppedMessage(const std::wstring& caption) {
  return L"Ustawienie „" + caption +
         L"” zostało zapisane, ale nie udało się zatrzymać czekającego programu traywatch: przy "
         L"zamykaniu systemu w tej sesji może on jeszcze wysunąć tackę napędu CD.";
}

void SettingsWindow::load() {
  services_.window.setCheckState(kCheck1, autostart_.isEjectNowOn());
  services_.window.setCheckState(kCheck2, autostart_.isEjectAtShutdownOn());
}

void SettingsWindow::click(int controlId) {
  if (controlId == kCommand1) command1Click();
  if (controlId == kCommand2) command2Click();
}

template <typename Add, typename Remove>
SettingsWindow::Saved SettingsWindow::saveBox(int checkId, const wchar_t* launcher, Add add,
                                              Remove remove,
                                              std::vector<std::wstring>& missingFiles) {
  // Clearing a box always works, whatever lies beside us.
  if (services_.window.checkState(checkId) != 1) return remove() ? Saved::Yes : Saved::No;
  bool present = true;
  try {
    for (const wchar_t* program : {launcher, kOpenerProgram}) {
      const std::wstring path = programBesideUs(services_.process, program);
      if (services_.process.fileExists(path)) continue;
      present = false;
      if (std::find(missingFiles.begin(), missingFiles.end(), path) == missingFiles.end()) {
        missingFiles.push_back(path);
      }
    }
  } catch (const ServiceError&) {
    return Saved::No;  // without our own folder nothing can be written
  }
  if (!present) return Saved::FilesMissing;
  return add() ? Saved::Yes : Saved::No;
}

void SettingsWindow::command1Click() {
  // Both entries are saved on every click, changed or not, so that a ticked one always points
  // at the folder the suite lies in now. The second is saved even when the first failed.
  // An entry that is there but cannot be read is neither replaced nor deleted: what it holds is
  // unknown, and the user is told which file was left as it was.
  std::vector<std::wstring> missingFiles, unreadablePlaces;
  const auto unlessUnreadable = [&](const std::optional<std::wstring>& place, auto save) {
    if (!place) return save();
    unreadablePlaces.push_back(*place);
    return Saved::Unreadable;
  };
  const Saved now = unlessUnreadable(autostart_.unreadableEjectNow(), [&] {
    return saveBox(
        kCheck1, kEjectNowProgram, [this] { return autostart_.addEjectNow(); },
        [this] { return autostart_.removeEjectNow(); }, missingFiles);
  });
  const Saved atShutdown = unlessUnreadable(autostart_.unreadableEjectAtShutdown(), [&] {
    return saveBox(
        kCheck2, kEjectAtShutdownProgram, [this] { return autostart_.addEjectAtShutdown(); },
        [this] { return autostart_.removeEjectAtShutdown(); }, missingFiles);
  });
  const bool watcherFollows =
      atShutdown != Saved::Yes || applyWatcher(services_.window.checkState(kCheck2) == 1);

  const auto captions = [&](Saved outcome) {
    std::vector<std::wstring> found;
    if (now == outcome) found.push_back(kEjectNowCaption);
    if (atShutdown == outcome) found.push_back(texts_.ejectAtShutdownCaption);
    return found;
  };
  std::vector<std::wstring> parts;
  if (!unreadablePlaces.empty()) {
    parts.push_back(unreadableEntriesMessage(unreadablePlaces, captions(Saved::Unreadable)));
  }
  if (!missingFiles.empty()) {
    parts.push_back(missingFilesMessage(missingFiles, captions(Saved::FilesMissing), texts_));
  }
  if (now == Saved::No || atShutdown == Saved::No) parts.push_back(kNotSavedMessage);
  if (!watcherFollows) parts.push_back(watcherNotStoppedMessage(texts_.ejectAtShutdownCaption));
  if (parts.empty()) {
    services_.messageBoxes.messageBox(kSavedMessage, kStyleInformation);
  } else {
    std::wstring text = parts[0];
    for (size_t i = 1; i < parts.size(); ++i) text += L"\n\n" + parts[i];
    services_.messageBoxes.messageBox(text, kStyleExclamation);
  }
  services_.process.endProgram();
}

bool SettingsWindow::applyWatcher(bool watch) {
  Watcher& watcher = services_.watcher;
  // Turned off: this session's end must not open a tray either.
  if (!watch) return watcher.stopQuietly();
  // Never a second copy, which would only say that one already waits.
  if (watcher.isWaiting()) return true;
  ProgramStart start;
  start.applicationPath = programBesideUs(services_.process, kEjectAtShutdownProgram);
  start.windowStyle = kShowNormal;
  // Until it can be stopped: a save that clears the box right after this one must find it.
  start.waitUntilReady = kWatcherReadyDeadline;
  try {
    services_.process.startProgram(start);
  } catch (const ServiceError&) {
    // The entry is saved and starts it at the next logon; the save itself did not fail.
  }
  return true;
}

void SettingsWindow::command2Click() {
  const std::wstring_view webPage = kWebPage;
  if (!webPage.empty()) {
    services_.window.openInBrowser(std::wstring(webPage));
    return;
  }
  std::wstring guide;
  try {
    guide = joinPath(services_.process.programFolder(), kGuidePage,
                     services_.process.pathStyle().separator);
  } catch (const ServiceError&) {
    return;  // as silent as a browser that cannot be started
  }
  services_.window.openInBrowser(guide);
}

}  // namespace zelvo
