#include <gtest/gtest.h>

#include "launchers/immediate/immediate_launcher.h"
#include "launchers/shutdown/shutdown_launcher.h"
#include "services/fake/fake_services.h"
#include "tests/unit/wiring.h"

namespace zelvo {
namespace {

using fake::Drive;
using fake::FakeServices;

constexpr wchar_t kOpener[] = L"C:\\Tools\\traypop.exe";

void withDiscsInDAndF(FakeServices& services, bool openerPresent = true) {
  services.drives = {{L'C', 3, true, L""},
                     {L'D', kDriveCdrom, true, L""},
                     {L'E', kDriveCdrom, false, L""},
                     {L'F', kDriveCdrom, true, L""}};
  if (openerPresent) services.programFiles = {kOpener};
}

TEST(NextTickCountTest, CountsInPlainDecimalText) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"1", L"2"}, {L"2", L"3"}, {L"3", L"4"}, {L"9", L"10"}, {L"99", L"100"}, {L"0", L"1"}};
  for (const auto& [tag, next] : cases) EXPECT_EQ(nextTickCount(tag), next) << tag;
}

TEST(ImmediateLauncherTest, HiddenWindowWithItsTimer) {
  FakeServices services;
  ImmediateLauncher launcher(launcherServices(services));
  EXPECT_EQ(launcher.frmMain().caption, L"Kolvan");
  EXPECT_FALSE(launcher.frmMain().visible);
  EXPECT_EQ(launcher.frmMain().timer, &launcher.Timer1());
  EXPECT_EQ(launcher.Timer1().interval(), 500u);
  EXPECT_EQ(launcher.Timer1().tag(), L"1");
}

TEST(ImmediateLauncherTest, ScansOnTheFirstTickAndEndsOnTheThird) {
  FakeServices services;
  withDiscsInDAndF(services);
  ImmediateLauncher launcher(launcherServices(services));

  launcher.Timer1().tick();
  EXPECT_EQ(launcher.Timer1().tag(), L"2");
  ASSERT_EQ(services.starts.size(), 2u);
  EXPECT_EQ(services.starts[0].argumentText, L"d");
  EXPECT_EQ(services.starts[1].argumentText, L"f");

  launcher.Timer1().tick();
  EXPECT_EQ(launcher.Timer1().tag(), L"3");
  EXPECT_FALSE(services.ended);
  EXPECT_EQ(services.starts.size(), 2u);

  EXPECT_TRUE(fake::endsProgram([&] { launcher.Timer1().tick(); }));
  EXPECT_EQ(launcher.Timer1().tag(), L"4");
  EXPECT_EQ(services.starts.size(), 2u);  // the scan ran once
}

TEST(ImmediateLauncherTest, TicksThatFallDueInsideATickAreDroppedWherever) {
  // Ticks dispatched at the handler's own event point, at the scan's, and while a message box
  // is open: none re-enters the handler, so the scan runs on the first tick, reaches every
  // drive and each box stays until dismissed.
  FakeServices services;
  withDiscsInDAndF(services, /*openerPresent=*/false);
  ImmediateLauncher launcher(launcherServices(services));
  int droppedTicks = 0;
  auto tickNow = [&] { droppedTicks += launcher.Timer1().tick() ? 0 : 1; };
  for (int i = 0; i < 3; ++i) services.pendingEvents.push_back(tickNow);
  services.whileMessageBoxOpen = [&] {
    tickNow();
    tickNow();
  };

  EXPECT_FALSE(fake::endsProgram([&] { launcher.Timer1().tick(); }));
  EXPECT_EQ(droppedTicks, 3 + 2 * 2);
  EXPECT_EQ(launcher.Timer1().tag(), L"2");
  EXPECT_EQ(services.messageBoxes.size(), 2u);  // d and f, one after the other

  launcher.Timer1().tick();
  EXPECT_TRUE(fake::endsProgram([&] { launcher.Timer1().tick(); }));
}

TEST(ImmediateLauncherTest, NoDiscShowsNothingAndEnds) {
  FakeServices services;
  services.drives = {{L'C', 3, true, L""}, {L'E', kDriveCdrom, false, L""}};
  ImmediateLauncher launcher(launcherServices(services));
  launcher.Timer1().tick();
  launcher.Timer1().tick();
  EXPECT_TRUE(fake::endsProgram([&] { launcher.Timer1().tick(); }));
  EXPECT_TRUE(services.starts.empty());
  EXPECT_TRUE(services.messageBoxes.empty());
}

TEST(ShutdownLauncherTest, FirstCopyWaitsQuietly) {
  FakeServices services;
  withDiscsInDAndF(services);
  ShutdownLauncher launcher(launcherServices(services));
  EXPECT_FALSE(fake::endsProgram([&] { launcher.load(); }));
  EXPECT_FALSE(launcher.alreadyRunning());
  EXPECT_TRUE(services.log.empty());  // no box, no scan, nothing until the unload
  EXPECT_EQ(launcher.frmMain().caption, L"Kolvan");
  EXPECT_FALSE(launcher.frmMain().visible);
  EXPECT_EQ(launcher.frmMain().timer, nullptr);  // no timer, no polling while it waits
  EXPECT_FALSE(launcher.frmMain().shutdownBlockReason.empty());
  EXPECT_TRUE(launcher.frmMain().acceptsQuietStop);
}

TEST(ShutdownLauncherTest, SecondCopyOrNoWayToTellSaysSoAndEndsWithoutScanning) {
  for (const bool canTell : {true, false}) {
    SCOPED_TRACE(canTell ? "a second copy" : "no way to tell copies apart");
    FakeServices services;
    withDiscsInDAndF(services);
    services.anotherCopyRunning = canTell;
    services.copiesCannotBeTold = !canTell;
    ShutdownLauncher launcher(launcherServices(services));
    EXPECT_TRUE(fake::endsProgram([&] { launcher.load(); }));
    ASSERT_EQ(services.messageBoxes.size(), 1u);
    EXPECT_EQ(services.messageBoxes[0].text, canTell ? kAlreadyRunningText : kCannotTellCopiesText);
    EXPECT_EQ(services.messageBoxes[0].style, 48u);
    EXPECT_EQ(services.messageBoxes[0].title, std::optional<std::wstring>(L"Błąd"));
    EXPECT_TRUE(services.starts.empty());
    if (canTell) {
      EXPECT_TRUE(launcher.alreadyRunning());
      services.log.clear();
      launcher.unload();  // an unload of the refusing copy does nothing
      EXPECT_TRUE(services.log.empty());
    }
  }
}

TEST(ShutdownLauncherTest, UnloadOpensOnlyTheFirstDriveWithADisc) {
  struct Case {
    const char* name;
    std::vector<Drive> drives;
    std::vector<std::wstring> opened;
    bool ends;
  };
  const Case cases[] = {
      {"discs in D and F",
       {{L'D', kDriveCdrom, true, L""}, {L'F', kDriveCdrom, true, L""}},
       {L"d"},
       true},
      {"disc only in F",
       {{L'D', kDriveCdrom, false, L""}, {L'F', kDriveCdrom, true, L""}},
       {L"f"},
       true},
      {"no disc anywhere", {{L'C', 3, true, L""}, {L'D', kDriveCdrom, false, L""}}, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServices services;
    services.drives = c.drives;
    services.programFiles = {kOpener};
    ShutdownLauncher launcher(launcherServices(services));
    launcher.load();
    EXPECT_EQ(fake::endsProgram([&] { launcher.unload(); }), c.ends);
    std::vector<std::wstring> opened;
    for (const ProgramStart& start : services.starts) opened.push_back(start.argumentText);
    EXPECT_EQ(opened, c.opened);
  }
}

}  // namespace
}  // namespace zelvo
