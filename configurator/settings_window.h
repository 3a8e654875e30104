// frmKonfig, the suite's one visible window: two check boxes for the start-up entries, a button
// that saves them and ends the program, and one that opens the maker's web page or the guide.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "configurator/autostart.h"
#include "configurator/platform_texts.h"
#include "services/form_design.h"
#include "services/process.h"
#include "services/watcher.h"
#include "services/window.h"

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
// How long a save waits for the traywatch it started to be ready for the quiet stop.
inline constexpr std::chrono::milliseconds kWatcherReadyDeadline{5000};
inline constexpr wchar_t kEjectNowCaption[] = L"Wysuwaj tacki teraz";
// The user guide, which lies beside the programs; WWW opens it when no web page is configured.
inline constexpr wchar_t kGuidePage[] = L"PRZEWODNIK.html";
// The maker's web page, set when the suite is built; empty for none.
inline constexpr wchar_t kWebPage[] = ZELVO_WEB_PAGE;

// The window as it was drawn, in twips, with the platform's texts.
FormDesign frmKonfig(const PlatformTexts& texts);

// What a save could not do because files of the suite are missing beside konfigurator.
std::wstring missingFilesMessage(const std::vector<std::wstring>& missingFiles,
                                 const std::vector<std::wstring>& unsavedCaptions,
                                 const PlatformTexts& texts);
// What a save left as it was because the entries there could not be read.
std::wstring unreadableEntriesMessage(const std::vector<std::wstring>& entryPlaces,
                                      const std::vector<std::wstring>& unsavedCaptions);
// A save that cleared the watcher's box, while the waiting traywatch would not stop.
std::wstring watcherNotStoppedMessage(const std::wstring& ejectAtShutdownCaption);

struct KonfiguratorServices {
  Process& process;
  Window& window;
  MessageBoxes& messageBoxes;
  Watcher& watcher;
};

class SettingsWindow final : public FormHandlers {
 public:
  SettingsWindow(const KonfiguratorServices& services, Autostart& autostart,
                 const PlatformTexts& texts)
      : services_(services), autostart_(autostart), texts_(texts) {}

  void load() override;
  void click(int controlId) override;

 private:
  enum class Saved { Yes, No, FilesMissing, Unreadable };

  void command1Click();
  void command2Click();
  // Saves one box. A ticked box is written only when its launcher and traypop lie beside us:
  // an entry for a program that is not there would start nothing at the next logon.
  template <typename Add, typename Remove>
  Saved saveBox(int checkId, const wchar_t* launcher, Add add, Remove remove,
                std::vector<std::wstring>& missingFiles);
  // Makes the running session follow the saved watcher setting at once; false when a waiting
  // traywatch would not stop.
  bool applyWatcher(bool watch);

  KonfiguratorServices services_;
  Autostart& autostart_;
  PlatformTexts texts_;
};

}  // namespace zelvo
