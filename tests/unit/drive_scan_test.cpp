#include "launchers/scan/drive_scan.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "services/fake/fake_services.h"
#include "tests/unit/wiring.h"

namespace zelvo {
namespace {

using fake::Drive;
using fake::FakeServices;

constexpr wchar_t kOpener[] = L"C:\\Tools\\traypop.exe";

std::vector<Drive> mixedDrives() {
  return {{L'C', 3, true, L"SYSTEM"},
          {L'D', kDriveCdrom, true, L"AUDIO"},
          {L'E', kDriveCdrom, false, L""},
          {L'F', kDriveCdrom, true, L""},
          {L'G', 4, true, L"\\\\server\\share"}};
}

std::vector<std::wstring> startedLetters(const FakeServices& services) {
  std::vector<std::wstring> letters;
  for (const ProgramStart& start : services.starts) letters.push_back(start.argumentText);
  return letters;
}

std::vector<std::wstring> logLinesStartingWith(const FakeServices& services,
                                               const std::wstring& prefix) {
  std::vector<std::wstring> lines;
  std::copy_if(services.log.begin(), services.log.end(), std::back_inserter(lines),
               [&](const std::wstring& line) { return line.rfind(prefix, 0) == 0; });
  return lines;
}

TEST(DriveScanTest, AsksEveryTypeTestsOnlyCdDrivesAndOpensThoseWithADisc) {
  FakeServices services;
  services.drives = mixedDrives();
  services.programFiles = {kOpener};
  DriveScan(launcherServices(services), AfterLaunch::ContinueScan).scanAndEject();

  EXPECT_EQ(
      logLinesStartingWith(services, L"type "),
      (std::vector<std::wstring>{L"type c:", L"type d:", L"type e:", L"type f:", L"type g:"}));
  EXPECT_EQ(logLinesStartingWith(services, L"current "),
            (std::vector<std::wstring>{L"current d:", L"current e:", L"current f:"}));
  EXPECT_EQ(startedLetters(services), (std::vector<std::wstring>{L"d", L"f"}));
  EXPECT_EQ(services.currentDrive, L"f:");
  EXPECT_TRUE(services.messageBoxes.empty());
  EXPECT_FALSE(services.ended);
}

TEST(DriveScanTest, LetsEventsRunFirstAndBeforeEachLaunch) {
  FakeServices services;
  services.drives = mixedDrives();
  services.programFiles = {kOpener};
  DriveScan(launcherServices(services), AfterLaunch::ContinueScan).scanAndEject();

  const std::vector<std::wstring> expected{
      L"events",     L"type c:",    L"type d:",
      L"current d:", L"events",     std::wstring(L"start ") + kOpener + L" d",
      L"type e:",    L"current e:", L"type f:",
      L"current f:", L"events",     std::wstring(L"start ") + kOpener + L" f",
      L"type g:"};
  EXPECT_EQ(services.log, expected);
}

TEST(DriveScanTest, QuietCases) {
  struct Case {
    const char* name;
    std::vector<Drive> drives;
    std::vector<std::wstring> log;
  };
  const Case cases[] = {
      {"empty drive list", {}, {L"events"}},
      {"no CD drive",
       {{L'A', 2, false, L""}, {L'C', 3, true, L""}, {L'R', 6, true, L""}},
       {L"events", L"type a:", L"type c:", L"type r:"}},
      {"CD drive without a disc",
       {{L'C', 3, true, L""}, {L'E', kDriveCdrom, false, L""}},
       {L"events", L"type c:", L"type e:", L"current e:"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServices services;
    services.drives = c.drives;
    services.programFiles = {kOpener};
    DriveScan(launcherServices(services), AfterLaunch::ContinueScan).scanAndEject();
    EXPECT_EQ(services.log, c.log);
    EXPECT_EQ(services.currentDrive, L"c:");
    EXPECT_TRUE(services.starts.empty());
    EXPECT_TRUE(services.messageBoxes.empty());
  }
}

TEST(OpenCdTest, StartsTheOpenerBesideTheLauncherWithTheLetterAlone) {
  struct Case {
    std::wstring folder;
    std::wstring opener;
  };
  const Case cases[] = {
      {L"C:\\Tools", L"C:\\Tools\\traypop.exe"},
      {L"C:\\", L"C:\\traypop.exe"},
      {L"C:\\Program Files\\Zelvo CD", L"C:\\Program Files\\Zelvo CD\\traypop.exe"},
      {L"D:\\Narzędzia\\Łódź", L"D:\\Narzędzia\\Łódź\\traypop.exe"}};
  for (const Case& c : cases) {
    FakeServices services;
    services.folder = c.folder;
    services.programFiles = {c.opener};
    DriveScan(launcherServices(services), AfterLaunch::ContinueScan).openCD(L"e");
    ASSERT_EQ(services.starts.size(), 1u);
    EXPECT_EQ(services.starts[0].applicationPath, c.opener);
    EXPECT_EQ(services.starts[0].argumentText, L"e");
    EXPECT_EQ(services.starts[0].windowStyle, 2);
    EXPECT_EQ(services.starts[0].waitForExit.count(), 0);
    EXPECT_FALSE(services.ended);
  }
}

TEST(OpenCdTest, AMissingOpenerIsReportedWithItsPath) {
  struct Case {
    std::wstring folder;
    std::wstring message;
  };
  const Case cases[] = {{L"C:\\Tools", L"Nie mogę znaleźć pliku: C:\\Tools\\traypop.exe"},
                        {L"C:\\", L"Nie mogę znaleźć pliku: C:\\traypop.exe"},
                        {L"C:\\Program Files\\Zelvo CD",
                         L"Nie mogę znaleźć pliku: C:\\Program Files\\Zelvo CD\\traypop.exe"}};
  for (const Case& c : cases) {
    FakeServices services;
    services.folder = c.folder;
    DriveScan(launcherServices(services), AfterLaunch::ContinueScan).openCD(L"d");
    ASSERT_EQ(services.messageBoxes.size(), 1u);
    EXPECT_EQ(services.messageBoxes[0].text, c.message);
    EXPECT_EQ(services.messageBoxes[0].style, 48u);
    EXPECT_EQ(services.messageBoxes[0].title, std::optional<std::wstring>(L"Błąd"));
  }
}

TEST(OpenCdTest, ContinuingScanReportsEachDriveInTurn) {
  FakeServices services;
  services.drives = mixedDrives();
  DriveScan(launcherServices(services), AfterLaunch::ContinueScan).scanAndEject();
  ASSERT_EQ(services.messageBoxes.size(), 2u);
  EXPECT_EQ(logLinesStartingWith(services, L"start "),
            (std::vector<std::wstring>{std::wstring(L"start ") + kOpener + L" d",
                                       std::wstring(L"start ") + kOpener + L" f"}));
  EXPECT_FALSE(services.ended);
}

TEST(OpenCdTest, EndingLauncherStopsAfterTheFirstAttemptEitherWay) {
  for (const bool openerPresent : {true, false}) {
    SCOPED_TRACE(openerPresent ? "opener present" : "opener missing");
    FakeServices services;
    services.drives = mixedDrives();
    if (openerPresent) services.programFiles = {kOpener};
    EXPECT_TRUE(fake::endsProgram(
        [&] { DriveScan(launcherServices(services), AfterLaunch::EndProgram).scanAndEject(); }));
    EXPECT_EQ(services.messageBoxes.size(), openerPresent ? 0u : 1u);
    EXPECT_EQ(logLinesStartingWith(services, L"type "),
              (std::vector<std::wstring>{L"type c:", L"type d:"}));
    EXPECT_EQ(services.log.back(), L"end");
    if (openerPresent) {
      ASSERT_EQ(services.starts.size(), 1u);
      // At the end of the session the opener gets time to open the door before we go.
      EXPECT_EQ(services.starts[0].waitForExit, kOpenerGrace);
    }
  }
}

}  // namespace
}  // namespace zelvo
