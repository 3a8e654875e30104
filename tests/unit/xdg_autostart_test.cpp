#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "configurator/autostart.h"
#include "services/fake/fake_services.h"
#include "services/linux/wide_text.h"
#include "services/linux/xdg_autostart_store.h"

namespace zelvo::linux_os {
namespace {

namespace fs = std::filesystem;

TEST(ExecValueTest, QuotesAndEscapesByTheDesktopEntryRules) {
  const std::pair<std::string, std::string> cases[] = {
      {"/usr/lib/zelvo-cd/trayflush", "/usr/lib/zelvo-cd/trayflush"},
      {"/home/ja/Zażółć/trayflush", "/home/ja/Zażółć/trayflush"},
      {"/home/ja/Zelvo CD/trayflush", "\"/home/ja/Zelvo CD/trayflush\""},
      // Quoted: ", `, $ and \ take a backslash (which the key file escapes once more); % doubles.
      {"/opt/a$b/100%/x\"y`z\\w", "\"/opt/a\\$b/100%%/x\\\"y\\`z\\\\w\""},
      {"/opt/50%/traywatch", "/opt/50%%/traywatch"},
  };
  for (const auto& [path, exec] : cases) EXPECT_EQ(execValue(path), exec) << path;
}

struct StoreFixture : testing::Test {
  fs::path root =
      fs::temp_directory_path() / ("zelvo-autostart-" + std::to_string(::getpid()) + "-" +
                                   testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::path folder = root / "config" / "autostart";
  XdgAutostartStore store{folder};

  // The desktops skip an entry whose program is missing.
  fs::path suite = root / "Zelvo CD";

  void SetUp() override {
    fs::remove_all(root);
    fs::create_directories(suite);
    for (const char* program : {"trayflush", "traywatch"}) {
      std::ofstream(suite / program) << "#!/bin/sh\n";
      fs::permissions(suite / program, fs::perms::owner_all);
    }
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all, ignored);
    fs::remove_all(root);
  }
  static std::string read(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  void write(const std::string& fileName, const std::string& text) {
    fs::create_directories(folder);
    std::ofstream(folder / fileName) << text;
  }
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(StoreFixture, AddsReadsAndRemovesOnlyItsOwnEntries) {
  // A missing folder is made, private to the user.
  const std::string trayflush = suite / "trayflush";
  ASSERT_TRUE(store.addEntry(L"WysuwajTeraz", fromBytes(trayflush)));
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(read(folder / "WysuwajTeraz.desktop"),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Zelvo CD – wysuwanie tacek po zalogowaniu\n"
            "Comment=Wysuwa tacki napędów CD, w których jest płyta, zaraz po zalogowaniu\n"
            "Exec=\"" +
                trayflush +
                "\"\n"
                "TryExec=" +
                trayflush +
                "\n"
                "NoDisplay=true\n"
                "X-GNOME-Autostart-enabled=true\n");
  EXPECT_EQ(store.readEntry(L"WysuwajTeraz").text, fromBytes("\"" + trayflush + "\""));
  EXPECT_EQ(store.readEntry(L"WysuwajPotem").text, L"");

  // Pointed at a new place; another program's entry is never touched.
  write("inny.desktop", "[Desktop Entry]\nType=Application\nExec=inny\n");
  ASSERT_TRUE(store.addEntry(L"WysuwajTeraz", L"/bin/sh"));
  EXPECT_EQ(store.readEntry(L"WysuwajTeraz").text, L"/bin/sh");
  EXPECT_TRUE(store.removeEntry(L"WysuwajTeraz"));
  EXPECT_TRUE(store.removeEntry(L"WysuwajTeraz"));  // already gone counts as removed
  EXPECT_EQ(files(), std::vector<std::string>{"inny.desktop"});
  EXPECT_EQ(read(folder / "inny.desktop"), "[Desktop Entry]\nType=Application\nExec=inny\n");
}

// An entry of exactly this many bytes: its Exec line, then a comment.
std::string entryOfSize(size_t size) {
  const std::string exec = "[Desktop Entry]\nType=Application\nExec=/bin/sh\n#";
  return exec + std::string(size - exec.size(), '#');
}

TEST_F(StoreFixture, ReadsOnlyAPlainFileUpToTheLimitThatGLibLoadsAndNeverWaits) {
  struct Case {
    void (*make)(const fs::path&);  // what lies at the entry's path
    std::wstring text;
    bool unreadable;
  };
  const bool asRoot = ::geteuid() == 0;  // root reads any file, whatever its mode
  const Case cases[] = {
      {[](const fs::path& p) { std::ofstream(p) << entryOfSize(kEntrySizeLimit); }, L"/bin/sh",
       false},
      {[](const fs::path& p) { std::ofstream(p) << entryOfSize(kEntrySizeLimit + 1); }, L"", true},
      // Opened for reading the usual way, a FIFO waits for a writer that never comes.
      {[](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, L"", true},
      {[](const fs::path& p) { fs::create_directory(p); }, L"", true},
      {[](const fs::path& p) {
         std::ofstream(p) << entryOfSize(100);
         fs::permissions(p, fs::perms::none);
       },
       asRoot ? L"/bin/sh" : L"", !asRoot},
      // A line that is neither a key, a group nor a comment: GLib loads nothing of the file.
      {[](const fs::path& p) { std::ofstream(p) << entryOfSize(100) << "\nbez klucza\n"; }, L"",
       true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path path = folder / "WysuwajPotem.desktop";
    cases[i].make(path);
    const StartupEntry entry = store.readEntry(L"WysuwajPotem");
    EXPECT_EQ(entry.text, cases[i].text) << "case " << i;
    EXPECT_EQ(entry.unreadableAt,
              cases[i].unreadable ? std::optional(fromBytes(path.native())) : std::nullopt)
        << "case " << i;
  }
}

TEST(AutostartFolderTest, FromXdgConfigHomeOrHomeOrElseThePasswordDatabase) {
  const fs::path fromDatabase = fs::path(::getpwuid(::getuid())->pw_dir) / ".config/autostart";
  const std::tuple<const char*, const char*, fs::path> cases[] = {
      {"/x/config", "/h", "/x/config/autostart"},
      {"relative/config", "/h", "/h/.config/autostart"},  // only absolute paths count
      {nullptr, nullptr, fromDatabase},
      {"", "relative/home", fromDatabase},
  };
  const auto set = [](const char* name, const char* value) {
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  };
  const auto saved = [](const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  const std::optional<std::string> configHomeBefore = saved("XDG_CONFIG_HOME"),
                                   homeBefore = saved("HOME");
  for (const auto& [configHome, homeFolder, expected] : cases) {
    set("XDG_CONFIG_HOME", configHome);
    set("HOME", homeFolder);
    EXPECT_EQ(autostartFolder(), expected);
  }
  set("XDG_CONFIG_HOME", configHomeBefore ? configHomeBefore->c_str() : nullptr);
  set("HOME", homeBefore ? homeBefore->c_str() : nullptr);

  // With no home folder at all, nothing is written or removed anywhere.
  XdgAutostartStore nowhere{fs::path()};
  EXPECT_FALSE(nowhere.addEntry(L"WysuwajTeraz", L"/usr/lib/zelvo-cd/trayflush"));
  EXPECT_FALSE(nowhere.removeEntry(L"WysuwajTeraz"));
}

TEST_F(StoreFixture, AnEntryThatCannotBeWrittenLeavesNothingBehind) {
  // Refusals that hold for every user, root included: the folder cannot be made, and the entry's
  // name is taken by a folder, which is neither replaced nor removed.
  std::ofstream(root / "config") << "a file where the folder should be";
  EXPECT_FALSE(store.addEntry(L"WysuwajTeraz", L"/usr/lib/zelvo-cd/trayflush"));
  fs::remove(root / "config");

  fs::create_directories(folder / "WysuwajPotem.desktop" / "inside");
  EXPECT_FALSE(store.addEntry(L"WysuwajPotem", L"/usr/lib/zelvo-cd/traywatch"));
  EXPECT_FALSE(store.removeEntry(L"WysuwajPotem"));
  EXPECT_EQ(files(), std::vector<std::string>{"WysuwajPotem.desktop"});  // no temporary file
}

TEST_F(StoreFixture, TheEntriesOfTheSuiteThroughAutostart) {
  fake::FakeServices process;
  process.paths = kLinuxPaths;
  process.folder = fromBytes(suite.native());
  Autostart autostart(store, process);
  EXPECT_EQ(autostart.isEjectAtShutdownOn(), 0);
  ASSERT_TRUE(autostart.addEjectAtShutdown());
  EXPECT_EQ(autostart.isEjectAtShutdownOn(), 1);
  EXPECT_EQ(autostart.isEjectNowOn(), 0);
  EXPECT_EQ(store.readEntry(L"WysuwajPotem").text,
            L"\"" + fromBytes(suite.native()) + L"/traywatch\"");
  EXPECT_NE(read(folder / "WysuwajPotem.desktop").find("Name=Zelvo CD – wysuwanie tacki przy"),
            std::string::npos);
  ASSERT_TRUE(autostart.removeEjectAtShutdown());
  EXPECT_EQ(autostart.isEjectAtShutdownOn(), 0);
}

}  // namespace
}  // namespace zelvo::linux_os
