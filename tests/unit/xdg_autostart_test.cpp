#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
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
      // Quoted: ", `, $ and \ take a backslash, which the file escapes once more; % doubles.
      {"/opt/a$b/100%/x\"y`z\\w", "\"/opt/a\\\\$b/100%%/x\\\\\"y\\\\`z\\\\\\\\w\""},
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

  void SetUp() override { fs::remove_all(root); }
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
  ASSERT_TRUE(store.addEntry(L"WysuwajTeraz", L"/home/ja/Zelvo CD/trayflush"));
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(read(folder / "WysuwajTeraz.desktop"),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Zelvo CD – wysuwanie tacek po zalogowaniu\n"
            "Comment=Wysuwa tacki napędów CD, w których jest płyta, zaraz po zalogowaniu\n"
            "Exec=\"/home/ja/Zelvo CD/trayflush\"\n"
            "TryExec=/home/ja/Zelvo CD/trayflush\n"
            "NoDisplay=true\n"
            "X-GNOME-Autostart-enabled=true\n");
  EXPECT_EQ(store.readEntry(L"WysuwajTeraz").text, L"\"/home/ja/Zelvo CD/trayflush\"");
  EXPECT_EQ(store.readEntry(L"WysuwajPotem").text, L"");

  // Overwritten whole; another program's entry is never touched.
  write("inny.desktop", "[Desktop Entry]\nType=Application\nExec=inny\n");
  ASSERT_TRUE(store.addEntry(L"WysuwajTeraz", L"/usr/lib/zelvo-cd/trayflush"));
  EXPECT_EQ(store.readEntry(L"WysuwajTeraz").text, L"/usr/lib/zelvo-cd/trayflush");
  EXPECT_TRUE(store.removeEntry(L"WysuwajTeraz"));
  EXPECT_TRUE(store.removeEntry(L"WysuwajTeraz"));  // already gone counts as removed
  EXPECT_EQ(files(), std::vector<std::string>{"inny.desktop"});
  EXPECT_EQ(read(folder / "inny.desktop"), "[Desktop Entry]\nType=Application\nExec=inny\n");
}

TEST_F(StoreFixture, PresenceIsANonEmptyExecOfAnEntryThatIsSwitchedOn) {
  const std::pair<std::string, std::wstring> cases[] = {
      {"[Desktop Entry]\nExec=/opt/z/trayflush\n", L"/opt/z/trayflush"},
      {"[Desktop Entry]\r\nExec = /opt/z/trayflush\r\n", L"/opt/z/trayflush"},
      {"[Desktop Entry]\nExec=/opt/z/trayflush\nHidden=true\n", L""},
      {"[Desktop Entry]\nExec=/opt/z/trayflush\nHidden=false\n", L"/opt/z/trayflush"},
      // Switched off as the desktops' start-up settings write it, in GLib's booleans.
      {"[Desktop Entry]\nExec=/opt/z/trayflush\nHidden=1\n", L""},
      {"[Desktop Entry]\nExec=/opt/z/trayflush\nX-GNOME-Autostart-enabled=false\n", L""},
      {"[Desktop Entry]\nX-GNOME-Autostart-enabled=0\nExec=/opt/z/trayflush\n", L""},
      {"[Desktop Entry]\nExec=/opt/z/trayflush\nX-GNOME-Autostart-enabled=true\n",
       L"/opt/z/trayflush"},
      {"[Desktop Entry]\nExec=\n", L""},
      {"[Desktop Entry]\nName=x\n", L""},
      {"[Other Group]\nExec=/opt/z/trayflush\n", L""},
      {"[Desktop Entry]\nExec=\"/opt/Zelvo CD/trayflush\"\n", L"\"/opt/Zelvo CD/trayflush\""},
  };
  for (const auto& [text, expected] : cases) {
    write("WysuwajPotem.desktop", text);
    const StartupEntry entry = store.readEntry(L"WysuwajPotem");
    EXPECT_EQ(entry.text, expected) << text;
    EXPECT_EQ(entry.unreadableAt, std::nullopt) << text;
  }
}

TEST_F(StoreFixture, ReadsOnlyAPlainFileOfAnEntrysSizeAndNeverWaits) {
  const std::string exec = "[Desktop Entry]\nExec=/opt/z/traywatch\n";
  const auto padded = [&](size_t size) { return exec + std::string(size - exec.size(), '#'); };
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;  // what lies at the entry's path
    std::wstring text;
    bool unreadable;
  };
  const Case cases[] = {
      {"atTheLimit", [&](const fs::path& p) { std::ofstream(p) << padded(kEntrySizeLimit); },
       L"/opt/z/traywatch", false},
      {"tooBig", [&](const fs::path& p) { std::ofstream(p) << padded(kEntrySizeLimit + 1); }, L"",
       true},
      // Opening a FIFO for reading would wait for a writer that never comes.
      {"fifo", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, L"", true},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }, L"", true},
      {"symlinkLoop", [](const fs::path& p) { fs::create_symlink(p.filename(), p); }, L"", true},
      {"danglingSymlink", [](const fs::path& p) { fs::create_symlink("gone.desktop", p); }, L"",
       false},
      // Root reads any file; the refusal only holds for other users.
      {"refused",
       [&](const fs::path& p) {
         std::ofstream(p) << exec;
         fs::permissions(p, fs::perms::none);
       },
       ::geteuid() == 0 ? L"/opt/z/traywatch" : L"", ::geteuid() != 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path path = folder / "WysuwajPotem.desktop";
    c.make(path);
    const auto before = fs::symlink_status(path).type();
    const StartupEntry entry = store.readEntry(L"WysuwajPotem");
    EXPECT_EQ(entry.text, c.text);
    EXPECT_EQ(entry.unreadableAt,
              c.unreadable ? std::optional<std::wstring>(fromBytes(path.native())) : std::nullopt);
    EXPECT_EQ(fs::symlink_status(path).type(), before);  // reading changed nothing
  }
  // An autostart "folder" that is a file holds no entry.
  fs::remove_all(folder);
  std::ofstream(folder) << exec;
  EXPECT_EQ(store.readEntry(L"WysuwajPotem").unreadableAt, std::nullopt);
}

TEST(AutostartFolderTest, FollowsTheXdgRulesAndThePasswordDatabaseWithoutHome) {
  const passwd* user = ::getpwuid(::getuid());
  ASSERT_NE(user, nullptr);
  const fs::path fromDatabase = fs::path(user->pw_dir) / ".config" / "autostart";
  struct Case {
    const char* configHome;  // null: unset
    const char* home;
    fs::path folder;
  };
  const Case cases[] = {
      {"/x/config", "/h", "/x/config/autostart"},
      {"relative/config", "/h", "/h/.config/autostart"},
      {nullptr, "/h", "/h/.config/autostart"},
      {nullptr, nullptr, fromDatabase},
      {"", "", fromDatabase},
      {nullptr, "relative/home", fromDatabase},
  };
  const auto saved = [](const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  const auto set = [](const char* name, const char* value) {
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  };
  const std::optional<std::string> configHome = saved("XDG_CONFIG_HOME"), home = saved("HOME");
  for (const Case& c : cases) {
    set("XDG_CONFIG_HOME", c.configHome);
    set("HOME", c.home);
    EXPECT_EQ(autostartFolder(), c.folder)
        << (c.configHome ? c.configHome : "(unset)") << ", " << (c.home ? c.home : "(unset)");
  }
  set("XDG_CONFIG_HOME", configHome ? configHome->c_str() : nullptr);
  set("HOME", home ? home->c_str() : nullptr);

  // With no home folder at all, nothing is found and nothing is written or removed anywhere.
  XdgAutostartStore nowhere{fs::path()};
  EXPECT_EQ(nowhere.readEntry(L"WysuwajTeraz").text, L"");
  EXPECT_FALSE(nowhere.addEntry(L"WysuwajTeraz", L"/usr/lib/zelvo-cd/trayflush"));
  EXPECT_FALSE(nowhere.removeEntry(L"WysuwajTeraz"));
}

TEST_F(StoreFixture, AnEntryThatCannotBeWrittenLeavesNothingBehind) {
  // Refusals that hold for every user, root included: the folder cannot be made, and the entry's
  // name is taken by a folder, so the finished file cannot be put in its place.
  fs::create_directories(root);
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
  process.folder = L"/usr/lib/zelvo-cd";
  Autostart autostart(store, process);
  EXPECT_EQ(autostart.isEjectAtShutdownOn(), 0);
  ASSERT_TRUE(autostart.addEjectAtShutdown());
  EXPECT_EQ(autostart.isEjectAtShutdownOn(), 1);
  EXPECT_EQ(autostart.isEjectNowOn(), 0);
  EXPECT_EQ(store.readEntry(L"WysuwajPotem").text, L"/usr/lib/zelvo-cd/traywatch");
  EXPECT_NE(read(folder / "WysuwajPotem.desktop").find("Name=Zelvo CD – wysuwanie tacki przy"),
            std::string::npos);
  ASSERT_TRUE(autostart.removeEjectAtShutdown());
  EXPECT_EQ(autostart.isEjectAtShutdownOn(), 0);
}

}  // namespace
}  // namespace zelvo::linux_os
