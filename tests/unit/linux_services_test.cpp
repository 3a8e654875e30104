// The pure parts of the Linux services: text between bytes and wide strings, the drive-control
// command texts, the lettering of the optical drives, and the time a session's end leaves for
// the scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <variant>
#include <vector>

#include "opener/tray_opener.h"
#include "services/fake/fake_services.h"
#include "services/linux/drive_commands.h"
#include "services/linux/optical_drives.h"
#include "services/linux/session_end.h"
#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

TEST(WideTextTest, AnyBytesComeBackUnchanged) {
  struct Case {
    std::string bytes;
    std::wstring text;
  };
  const std::vector<Case> cases = {
      {"/home/ola/Zażółć gęślą jaźń/traypop", L"/home/ola/Zażółć gęślą jaźń/traypop"},
      {"\xF0\x9F\x92\xBF", L"\U0001F4BF"},      // four bytes: beyond the first plane
      {"a\xFFz", L"a\xDCFFz"},                  // no part of UTF-8
      {"\xC3", L"\xDCC3"},                      // cut short
      {"\xC0\xAF", L"\xDCC0\xDCAF"},            // an overlong "/"
      {"\xED\xA0\x80", L"\xDCED\xDCA0\xDC80"},  // a surrogate written in UTF-8
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fromBytes(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(toBytes(c.text), c.bytes) << c.bytes;
  }
}

TEST(DriveCommandsTest, ReadsEveryCommandTraypopSends) {
  for (const std::wstring letter : {L"E", L"e", L"7", L"\"", L""}) {
    fake::FakeServices services;
    openTray(services, letter);
    ASSERT_EQ(services.driveCommands.size(), 2u);
    const DriveCommand open = parseDriveCommand(services.driveCommands[0]);
    const DriveCommand door = parseDriveCommand(services.driveCommands[1]);
    ASSERT_TRUE(std::holds_alternative<OpenCommand>(open)) << letter;
    EXPECT_EQ(std::get<OpenCommand>(open).deviceName, letter + L":");
    EXPECT_EQ(std::get<OpenCommand>(open).alias, L"Drive" + letter);
    ASSERT_TRUE(std::holds_alternative<DoorOpenCommand>(door)) << letter;
    EXPECT_EQ(std::get<DoorOpenCommand>(door).alias, L"Drive" + letter);
  }
}

TEST(DriveCommandsTest, RefusesAnyOtherText) {
  for (const wchar_t* command :
       {L"", L"open E: type cdaudio alias DriveE", L"open E: type waveaudio alias DriveE wait",
        L"open E: type cdaudio alias  wait", L"open E: type cdaudio alias Drive E wait",
        L"set DriveE door closed", L"set  door open", L"close DriveE", L"set DriveE door open "}) {
    EXPECT_TRUE(std::holds_alternative<std::monostate>(parseDriveCommand(command))) << command;
  }
}

TEST(OpticalDrivesTest, LettersFollowTheKernelNamesNumerically) {
  std::vector<std::string> names = {"sr10", "sr2", "sr0", "sr1", "sr9"};
  std::sort(names.begin(), names.end(), kernelNameBefore);
  EXPECT_EQ(names, (std::vector<std::string>{"sr0", "sr1", "sr2", "sr9", "sr10"}));

  struct Letter {
    wchar_t letter;
    std::optional<size_t> index;
  };
  for (const Letter l :
       {Letter{L'd', 0}, Letter{L'D', 0}, Letter{L'e', 1}, Letter{L'z', 22},
        Letter{L'c', std::nullopt}, Letter{L'C', std::nullopt}, Letter{L'7', std::nullopt},
        Letter{L'{', std::nullopt}, Letter{L'ż', std::nullopt}}) {
    EXPECT_EQ(opticalIndexOf(l.letter), l.index) << static_cast<int>(l.letter);
  }
}

TEST(SessionEndTest, TheScanEndsByThreeFifthsOfLogindsDelay) {
  using std::chrono::milliseconds;
  const std::chrono::steady_clock::time_point heard{std::chrono::hours(1)};
  struct Case {
    std::optional<uint64_t> delayUsec;
    milliseconds left;
  };
  for (const Case& c : {Case{std::nullopt, milliseconds(3000)},  // logind has not said: 5 s
                        Case{5'000'000, milliseconds(3000)}, Case{2'000'000, milliseconds(1200)},
                        Case{0, milliseconds(0)},
                        Case{UINT64_MAX, milliseconds(2'160'000)}}) {  // infinity: an hour
    EXPECT_EQ(workDue(heard, c.delayUsec) - heard, c.left) << c.delayUsec.value_or(1);
  }
}

}  // namespace
}  // namespace zelvo::linux_os
