#include "opener/tray_opener.h"

#include <gtest/gtest.h>

#include "services/fake/fake_services.h"

namespace zelvo {
namespace {

struct OpenerCase {
  std::wstring argumentText;
  std::wstring openCommand;
  std::wstring doorCommand;
};

class TrayOpenerTest : public testing::TestWithParam<OpenerCase> {};

TEST_P(TrayOpenerTest, SendsOpenThenDoorForTheFirstCharacterAndEnds) {
  fake::FakeServices services;
  services.argumentText = GetParam().argumentText;
  EXPECT_TRUE(fake::endsProgram([&] { runTrayOpener(services, services); }));
  EXPECT_EQ(services.driveCommands,
            (std::vector<std::wstring>{GetParam().openCommand, GetParam().doorCommand}));
  EXPECT_TRUE(services.messageBoxes.empty());
  EXPECT_TRUE(services.starts.empty());
}

INSTANTIATE_TEST_SUITE_P(
    ArgumentTexts, TrayOpenerTest,
    testing::Values(
        OpenerCase{L"E", L"open E: type cdaudio alias DriveE wait", L"set DriveE door open"},
        OpenerCase{L"e", L"open e: type cdaudio alias Drivee wait", L"set Drivee door open"},
        OpenerCase{L"", L"open : type cdaudio alias Drive wait", L"set Drive door open"},
        OpenerCase{L"F:", L"open F: type cdaudio alias DriveF wait", L"set DriveF door open"},
        OpenerCase{L"F:\\", L"open F: type cdaudio alias DriveF wait", L"set DriveF door open"},
        OpenerCase{L"F G", L"open F: type cdaudio alias DriveF wait", L"set DriveF door open"},
        OpenerCase{L"7", L"open 7: type cdaudio alias Drive7 wait", L"set Drive7 door open"},
        OpenerCase{L"\"", L"open \": type cdaudio alias Drive\" wait", L"set Drive\" door open"}),
    [](const auto& instance) { return "case" + std::to_string(instance.index); });

TEST(OpenTrayTest, ReturnsTheDoorCommandsCodeWhateverTheOpenAnswered) {
  struct Codes {
    long open, door;
  };
  for (const Codes codes : {Codes{0, 0}, Codes{275, 0}, Codes{0, 263}, Codes{275, 263}}) {
    fake::FakeServices services;
    services.driveCommandResults = {{L"open D: type cdaudio alias DriveD wait", codes.open},
                                    {L"set DriveD door open", codes.door}};
    EXPECT_EQ(openTray(services, L"D"), codes.door);
    EXPECT_EQ(services.driveCommands.size(), 2u);
  }
}

TEST(TrayOpenerTest, EndsTheSameWayWhenTheDriveRefuses) {
  fake::FakeServices services;
  services.argumentText = L"Q";
  services.driveCommandResults = {{L"open Q: type cdaudio alias DriveQ wait", 275},
                                  {L"set DriveQ door open", 263}};
  EXPECT_TRUE(fake::endsProgram([&] { runTrayOpener(services, services); }));
  EXPECT_EQ(services.log.back(), L"end");
  EXPECT_TRUE(services.messageBoxes.empty());
}

}  // namespace
}  // namespace zelvo
