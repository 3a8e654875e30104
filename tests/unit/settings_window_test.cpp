#include "configurator/settings_window.h"

#include <gtest/gtest.h>

#include "services/fake/fake_registry.h"
#include "services/fake/fake_services.h"
#include "services/fake/fake_startup_store.h"
#include "services/run_key_store.h"
#include "tests/unit/wiring.h"

namespace zelvo {
namespace {

using fake::FakeRegistry;

constexpr wchar_t kSuite[] = L"C:\\Program Files\\Zelvo CD";

struct Fixture {
  FakeRegistry registry;
  fake::FakeServices services;
  RunKeyStore runKey{registry};
  Autostart autostart{runKey, services};
  SettingsWindow window{konfiguratorServices(services), autostart, kWindowsTexts};

  Fixture() {
    services.folder = kSuite;
    for (const wchar_t* program : {L"konfigurator", L"trayflush", L"traywatch", L"traypop"}) {
      services.programFiles.insert(std::wstring(kSuite) + L"\\" + program + L".exe");
    }
    registry.keys[kRunKey][L"Inny"] = FakeRegistry::text(L"C:\\inny.exe");
  }
  void store(const wchar_t* name, const wchar_t* text) {
    registry.keys[kRunKey][name] = FakeRegistry::text(text);
  }
  std::optional<std::wstring> stored(const wchar_t* name) const {
    return registry.storedText(kRunKey, name);
  }
};

// --- Loading ---

TEST(LoadTest, TheBoxesShowWhichEntriesHoldText) {
  struct Case {
    const wchar_t* ejectNow;  // null: not there
    const wchar_t* ejectAtShutdown;
    int check1, check2;
  };
  for (const Case& c : {Case{nullptr, nullptr, 0, 0}, Case{L"C:\\a\\trayflush.exe", nullptr, 1, 0},
                        Case{nullptr, L"C:\\a\\traywatch.exe", 0, 1},
                        Case{L"Z:\\stare\\trayflush.exe", L"Z:\\stare\\traywatch.exe", 1, 1},
                        Case{L"", L"", 0, 0}}) {
    Fixture f;
    // The boxes start the other way round, so that a box left unset shows.
    f.services.checks = {{kCheck1, 1 - c.check1}, {kCheck2, 1 - c.check2}};
    if (c.ejectNow) f.store(kEjectNowValue, c.ejectNow);
    if (c.ejectAtShutdown) f.store(kEjectAtShutdownValue, c.ejectAtShutdown);
    f.window.load();
    EXPECT_EQ(f.services.checks[kCheck1], c.check1);
    EXPECT_EQ(f.services.checks[kCheck2], c.check2);
    EXPECT_TRUE(f.registry.writes.empty());
    EXPECT_TRUE(f.registry.deletes.empty());
  }
}

// --- Saving ---

struct SaveCase {
  int check1, check2;
  bool ejectNow, ejectAtShutdown;  // the entries afterwards
};

void PrintTo(const SaveCase& c, std::ostream* os) {
  *os << "Check1 " << c.check1 << ", Check2 " << c.check2;
}

class SaveTest : public testing::TestWithParam<SaveCase> {};

TEST_P(SaveTest, WritesOrDeletesBothEntriesConfirmsAndEnds) {
  Fixture f;
  f.store(kEjectNowValue, L"Z:\\stare\\trayflush.exe");
  f.store(kEjectAtShutdownValue, L"Z:\\stare\\traywatch.exe");
  f.services.checks = {{kCheck1, GetParam().check1}, {kCheck2, GetParam().check2}};
  // What the user could see in the registry while the confirmation is open.
  std::optional<std::wstring> nowWhileConfirming, atShutdownWhileConfirming;
  f.services.whileMessageBoxOpen = [&] {
    nowWhileConfirming = f.stored(kEjectNowValue);
    atShutdownWhileConfirming = f.stored(kEjectAtShutdownValue);
  };

  EXPECT_TRUE(fake::endsProgram([&] { f.window.click(kCommand1); }));

  const auto expected = [](bool on, const wchar_t* path) {
    return on ? std::optional<std::wstring>(path) : std::nullopt;
  };
  const auto ejectNow =
      expected(GetParam().ejectNow, L"\"C:\\Program Files\\Zelvo CD\\trayflush.exe\"");
  const auto ejectAtShutdown =
      expected(GetParam().ejectAtShutdown, L"\"C:\\Program Files\\Zelvo CD\\traywatch.exe\"");
  EXPECT_EQ(f.stored(kEjectNowValue), ejectNow);
  EXPECT_EQ(f.stored(kEjectAtShutdownValue), ejectAtShutdown);
  EXPECT_EQ(nowWhileConfirming, ejectNow);
  EXPECT_EQ(atShutdownWhileConfirming, ejectAtShutdown);
  EXPECT_EQ(f.stored(L"Inny"), L"C:\\inny.exe");

  ASSERT_EQ(f.services.messageBoxes.size(), 1u);
  EXPECT_EQ(f.services.messageBoxes[0].text, L"Ustawienia zostały zapisane");
  EXPECT_EQ(f.services.messageBoxes[0].style, 64u);
  EXPECT_EQ(f.services.messageBoxes[0].title, std::nullopt);  // the program's title
  EXPECT_EQ(f.services.log.back(), L"end");
  EXPECT_TRUE(f.services.browserAddresses.empty());

  // The watcher follows the saved setting at once, before the confirmation; trayflush is never
  // started, since "teraz" means at logon.
  const std::vector<std::wstring> watcherSteps{
      GetParam().ejectAtShutdown ? std::wstring(L"start ") + kSuite + L"\\traywatch.exe "
                                 : L"stop watcher",
      L"box Ustawienia zostały zapisane", L"end"};
  EXPECT_EQ(std::vector<std::wstring>(f.services.log.end() - 3, f.services.log.end()),
            watcherSteps);
  EXPECT_EQ(f.services.starts.size(), GetParam().ejectAtShutdown ? 1u : 0u);
  for (const ProgramStart& start : f.services.starts) {
    EXPECT_TRUE(start.argumentText.empty());
    EXPECT_EQ(start.windowStyle, kShowNormal);
    EXPECT_EQ(start.waitForExit.count(), 0);
    EXPECT_GT(start.waitUntilReady.count(), 0);  // so that a save right after can stop it
  }
  EXPECT_EQ(f.services.watcherWaiting, GetParam().ejectAtShutdown);
}

INSTANTIATE_TEST_SUITE_P(CheckStates, SaveTest,
                         testing::Values(SaveCase{0, 0, false, false}, SaveCase{1, 0, true, false},
                                         SaveCase{0, 1, false, true}, SaveCase{1, 1, true, true},
                                         // Only 1 counts as ticked.
                                         SaveCase{2, -1, false, false}),
                         [](const auto& instance) {
                           return "case" + std::to_string(instance.index);
                         });

TEST(SaveTest, NoEntriesAndNoKeyStillConfirms) {
  Fixture f;
  f.registry.keys.clear();
  EXPECT_TRUE(fake::endsProgram([&] { f.window.click(kCommand1); }));
  ASSERT_EQ(f.services.messageBoxes.size(), 1u);
  EXPECT_EQ(f.services.messageBoxes[0].text, L"Ustawienia zostały zapisane");
}

TEST(SaveTest, AFailedWriteOrDeleteIsReportedInsteadOfTheConfirmation) {
  struct Case {
    const char* what;
    int check1, check2;
    long setResult, deleteResult;
    std::uint32_t refusedRights;
  };
  for (const Case& c : {Case{"firstWriteRefused", 1, 0, kErrorAccessDenied, 0, 0},
                        Case{"secondWriteRefused", 0, 1, kErrorAccessDenied, 0, 0},
                        Case{"deleteRefused", 0, 0, 0, kErrorAccessDenied, 0},
                        Case{"keyReadOnly", 1, 1, 0, 0, kKeySetValue}}) {
    SCOPED_TRACE(c.what);
    Fixture f;
    f.store(kEjectNowValue, L"Z:\\stare\\trayflush.exe");
    f.store(kEjectAtShutdownValue, L"Z:\\stare\\traywatch.exe");
    f.services.checks = {{kCheck1, c.check1}, {kCheck2, c.check2}};
    f.registry.setValueResult = c.setResult;
    f.registry.deleteValueResult = c.deleteResult;
    f.registry.refusedRights = c.refusedRights;

    EXPECT_TRUE(fake::endsProgram([&] { f.window.click(kCommand1); }));
    ASSERT_EQ(f.services.messageBoxes.size(), 1u);
    EXPECT_EQ(f.services.messageBoxes[0].text, L"Nie udało się zapisać ustawień.");
    EXPECT_EQ(f.services.messageBoxes[0].style, 48u);
    EXPECT_EQ(f.services.messageBoxes[0].title, std::nullopt);
    EXPECT_EQ(f.services.log.back(), L"end");
    // A failure with the first entry does not keep the second from being saved.
    EXPECT_EQ(std::count_if(f.registry.opens.begin(), f.registry.opens.end(),
                            [](const fake::KeyOpen& open) { return open.access == kWriteAccess; }),
              2);
  }
}

TEST(SaveTest, NeverStartsASecondWatcher) {
  Fixture f;
  f.services.watcherWaiting = true;
  f.services.checks = {{kCheck1, 1}, {kCheck2, 1}};
  EXPECT_TRUE(fake::endsProgram([&] { f.window.click(kCommand1); }));
  EXPECT_TRUE(f.services.starts.empty());
  EXPECT_TRUE(f.services.watcherWaiting);
  EXPECT_EQ(f.services.messageBoxes.at(0).text, L"Ustawienia zostały zapisane");
}

TEST(SaveTest, AWatcherThatWouldNotStopIsReportedInsteadOfTheConfirmation) {
  Fixture f;
  f.store(kEjectAtShutdownValue, L"C:\\Zelvo\\traywatch.exe");
  f.services.watcherWaiting = f.services.watcherFrozen = true;
  f.services.checks = {{kCheck1, 0}, {kCheck2, 0}};
  EXPECT_TRUE(fake::endsProgram([&] { f.window.click(kCommand1); }));
  EXPECT_EQ(f.stored(kEjectAtShutdownValue), std::nullopt);  // the setting itself is saved
  ASSERT_EQ(f.services.messageBoxes.size(), 1u);
  EXPECT_EQ(f.services.messageBoxes[0].text,
            L"Ustawienie „Wysuwaj tacki przy zamykaniu windows” zostało zapisane, ale nie udało "
            L"się zatrzymać czekającego programu traywatch: przy zamykaniu systemu w tej sesji "
            L"może on jeszcze wysunąć tackę napędu CD.");
  EXPECT_EQ(f.services.messageBoxes[0].style, 48u);
}

TEST(SaveTest, WritesNoEntryForAProgramThatIsNotThere) {
  struct Case {
    const char* what;
    PathStyle paths;
    std::wstring folder;
    std::vector<std::wstring> present;  // beside konfigurator
    int check1, check2;
    bool nowWritten, atShutdownWritten;
    std::wstring message;
  };
  const std::wstring advice =
      L" Rozpakuj cały folder Zelvo CD i uruchom konfigurator z rozpakowanego folderu.";
  const std::wstring linuxAdvice =
      L" Zainstaluj ponownie pakiet zelvo-cd (sudo apt install --reinstall zelvo-cd) i uruchom "
      L"konfigurator z menu aplikacji.";
  const Case cases[] = {
      {"loneKonfiguratorFromAZip",
       kWindowsPaths,
       L"C:\\Temp\\Temp1_zelvo.zip",
       {L"konfigurator.exe"},
       1,
       1,
       false,
       false,
       L"Nie mogę znaleźć pliku: C:\\Temp\\Temp1_zelvo.zip\\trayflush.exe\n"
       L"Nie mogę znaleźć pliku: C:\\Temp\\Temp1_zelvo.zip\\traypop.exe\n"
       L"Nie mogę znaleźć pliku: C:\\Temp\\Temp1_zelvo.zip\\traywatch.exe\n"
       L"\nUstawienia „Wysuwaj tacki teraz” i „Wysuwaj tacki przy zamykaniu windows” nie zostały "
       L"zapisane." +
           advice},
      {"onlyTheOpenerMissing",
       kWindowsPaths,
       L"C:\\Zelvo",
       {L"konfigurator.exe", L"trayflush.exe", L"traywatch.exe"},
       1,
       0,
       false,
       false,
       L"Nie mogę znaleźć pliku: C:\\Zelvo\\traypop.exe\n"
       L"\nUstawienie „Wysuwaj tacki teraz” nie zostało zapisane." +
           advice},
      {"oneLauncherMissingOnLinux",
       kLinuxPaths,
       L"/opt/zelvo",
       {L"konfigurator", L"trayflush", L"traypop"},
       1,
       1,
       true,
       false,
       L"Nie mogę znaleźć pliku: /opt/zelvo/traywatch\n"
       L"\nUstawienie „Wysuwaj tacki przy zamykaniu systemu” nie zostało zapisane." +
           linuxAdvice},
      {"clearingAlwaysWorks",
       kWindowsPaths,
       L"C:\\Temp",
       {},
       0,
       0,
       false,
       false,
       L"Ustawienia zostały zapisane"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    SettingsWindow window{konfiguratorServices(f.services), f.autostart,
                          c.paths.separator == L'/' ? kLinuxTexts : kWindowsTexts};
    f.services.paths = c.paths;
    f.services.folder = c.folder;
    f.services.programFiles.clear();
    for (const std::wstring& file : c.present) {
      f.services.programFiles.insert(c.folder + c.paths.separator + file);
    }
    f.store(kEjectNowValue, L"Z:\\stare\\trayflush.exe");
    f.store(kEjectAtShutdownValue, L"Z:\\stare\\traywatch.exe");
    f.services.checks = {{kCheck1, c.check1}, {kCheck2, c.check2}};

    EXPECT_TRUE(fake::endsProgram([&] { window.click(kCommand1); }));
    ASSERT_EQ(f.services.messageBoxes.size(), 1u);
    EXPECT_EQ(f.services.messageBoxes[0].text, c.message);
    EXPECT_EQ(f.services.messageBoxes[0].style, c.message == kSavedMessage ? 64u : 48u);
    // A box that is not saved keeps what was there; a cleared one is always removed.
    const auto after = [&](bool ticked, bool written, const wchar_t* old, const wchar_t* name) {
      const std::wstring path = c.folder + c.paths.separator + name;
      return !ticked ? std::nullopt
                     : std::optional<std::wstring>(written ? path : std::wstring(old));
    };
    EXPECT_EQ(f.stored(kEjectNowValue),
              after(c.check1 == 1, c.nowWritten, L"Z:\\stare\\trayflush.exe",
                    c.paths.separator == L'/' ? L"trayflush" : L"trayflush.exe"));
    EXPECT_EQ(
        f.stored(kEjectAtShutdownValue),
        after(c.check2 == 1, c.atShutdownWritten, L"Z:\\stare\\traywatch.exe", L"traywatch.exe"));
    EXPECT_TRUE(f.services.starts.empty());  // no watcher for an entry that was not written
  }
}

TEST(SaveTest, LeavesAnUnreadableEntryAsItIsAndNamesIt) {
  const std::wstring now = L"/home/ja/.config/autostart/WysuwajTeraz.desktop",
                     atShutdown = L"/home/ja/.config/autostart/WysuwajPotem.desktop";
  struct Case {
    std::map<std::wstring, std::wstring> unreadable;
    int checks;                        // both boxes' state at the save
    std::vector<std::wstring> writes;  // what the store was asked to do
    std::wstring message;
  };
  const Case cases[] = {
      // Ticked, it would be replaced; the other box is saved as ever.
      {{{kEjectNowValue, now}},
       1,
       {L"add WysuwajPotem /usr/lib/zelvo-cd/traywatch"},
       L"Nie mogę odczytać pliku: " + now +
           L"\n\nUstawienie „Wysuwaj tacki teraz” nie zostało zapisane, a plik został "
           L"pozostawiony bez zmian. Sprawdź, czy to zwykły plik, który możesz odczytać, albo usuń "
           L"go i zapisz ustawienia jeszcze raz."},
      // Cleared, they would be deleted and the waiting watcher stopped.
      {{{kEjectNowValue, now}, {kEjectAtShutdownValue, atShutdown}},
       0,
       {},
       L"Nie mogę odczytać pliku: " + now + L"\nNie mogę odczytać pliku: " + atShutdown +
           L"\n\nUstawienia „Wysuwaj tacki teraz” i „Wysuwaj tacki przy zamykaniu systemu” nie "
           L"zostały zapisane, a pliki zostały pozostawione bez zmian. Sprawdź, czy to zwykłe "
           L"pliki, które możesz odczytać, albo usuń je i zapisz ustawienia jeszcze raz."},
  };
  for (const Case& c : cases) {
    fake::FakeServices services;
    services.paths = kLinuxPaths;
    services.folder = L"/usr/lib/zelvo-cd";
    for (const wchar_t* program : {L"trayflush", L"traywatch", L"traypop"}) {
      services.programFiles.insert(services.folder + L"/" + program);
    }
    services.watcherWaiting = true;
    fake::FakeStartupStore store;
    store.entries = {{kEjectNowValue, L"/stare/trayflush"}, {kEjectAtShutdownValue, L"/stare/tw"}};
    store.unreadable = c.unreadable;
    Autostart autostart(store, services);
    SettingsWindow window(konfiguratorServices(services), autostart, kLinuxTexts);

    window.load();  // an entry that cannot be read shows unticked
    EXPECT_EQ(services.checks[kCheck1], 0);
    EXPECT_EQ(services.checks[kCheck2], c.unreadable.contains(kEjectAtShutdownValue) ? 0 : 1);
    services.checks = {{kCheck1, c.checks}, {kCheck2, c.checks}};
    EXPECT_TRUE(fake::endsProgram([&] { window.click(kCommand1); }));
    EXPECT_EQ(store.log, c.writes);
    EXPECT_EQ(store.unreadable, c.unreadable);
    EXPECT_TRUE(services.watcherWaiting);
    ASSERT_EQ(services.messageBoxes.size(), 1u);
    EXPECT_EQ(services.messageBoxes[0].text, c.message);
    EXPECT_EQ(services.messageBoxes[0].style, 48u);
  }
}

// --- The web page ---

TEST(WwwTest, OpensTheWebPageAndLeavesEverythingAsItWas) {
  Fixture f;
  f.store(kEjectNowValue, L"C:\\a\\trayflush.exe");
  f.window.load();
  f.services.checks[kCheck2] = 1;  // ticked but not saved
  const size_t opensBefore = f.registry.opens.size();

  EXPECT_FALSE(fake::endsProgram([&] { f.window.click(kCommand2); }));
  // The configured page, or else the guide beside the program.
  const std::wstring_view webPage = kWebPage;
  const std::wstring expected =
      webPage.empty() ? std::wstring(kSuite) + L"\\PRZEWODNIK.html" : std::wstring(webPage);
  EXPECT_EQ(f.services.browserAddresses, std::vector<std::wstring>{expected});
  EXPECT_TRUE(f.services.messageBoxes.empty());
  EXPECT_EQ(f.registry.opens.size(), opensBefore);
  EXPECT_EQ(f.services.checks[kCheck1], 1);
  EXPECT_EQ(f.services.checks[kCheck2], 1);
  EXPECT_EQ(f.stored(kEjectAtShutdownValue), std::nullopt);
}

}  // namespace
}  // namespace zelvo
