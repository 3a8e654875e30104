#include "services/text.h"

#include <gtest/gtest.h>

namespace zelvo {
namespace {

struct Case {
  std::wstring input;
  std::wstring expected;
};

class ArgumentTextTest : public testing::TestWithParam<Case> {};

TEST_P(ArgumentTextTest, FollowsTheProgramName) {
  EXPECT_EQ(argumentText(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ArgumentTextTest,
    testing::Values(Case{L"traypop.exe E", L"E"}, Case{L"C:\\Tools\\traypop.exe e", L"e"},
                    Case{L"\"C:\\Program Files\\Zelvo CD\\traypop.exe\" d", L"d"},
                    Case{L"\"C:\\Program Files\\Zelvo CD\\traypop.exe\"", L""},
                    Case{L"traypop.exe", L""}, Case{L"traypop.exe   F G", L"F G"},
                    Case{L"traypop.exe\tF:\\", L"F:\\"}, Case{L"\"unterminated name", L""},
                    Case{L"\"C:\\Zażółć\\traypop.exe\" \"", L"\""}, Case{L"", L""}),
    [](const auto& instance) { return "case" + std::to_string(instance.index); });

TEST(JoinPathTest, AddsOneBackslashOnlyWhereTheFolderHasNone) {
  EXPECT_EQ(joinPath(L"C:\\Tools", L"traypop.exe"), L"C:\\Tools\\traypop.exe");
  EXPECT_EQ(joinPath(L"C:\\", L"traypop.exe"), L"C:\\traypop.exe");
  EXPECT_EQ(joinPath(L"\\\\server\\share", L"a.exe"), L"\\\\server\\share\\a.exe");
  EXPECT_EQ(joinPath(L"C:\\Program Files\\Tray", L"x.exe"), L"C:\\Program Files\\Tray\\x.exe");
  EXPECT_EQ(joinPath(L"/usr/lib/zelvo-cd", L"traypop", L'/'), L"/usr/lib/zelvo-cd/traypop");
  EXPECT_EQ(joinPath(L"/", L"traypop", L'/'), L"/traypop");
}

TEST(FolderOfTest, KeepsTheRootBackslashOnly) {
  EXPECT_EQ(folderOf(L"C:\\Tools\\trayflush.exe"), L"C:\\Tools");
  EXPECT_EQ(folderOf(L"C:\\trayflush.exe"), L"C:\\");
  EXPECT_EQ(folderOf(L"\\\\server\\share\\x.exe"), L"\\\\server\\share");
  EXPECT_EQ(folderOf(L"\\\\?\\C:\\very\\long\\x.exe"), L"\\\\?\\C:\\very\\long");
  EXPECT_EQ(folderOf(L"x.exe"), L"");
  EXPECT_EQ(folderOf(L"/usr/lib/zelvo-cd/traypop"), L"/usr/lib/zelvo-cd");
  EXPECT_EQ(folderOf(L"/traypop"), L"/");
}

TEST(QuotedIfBlankTest, QuotesOnlyPathsWithBlanks) {
  EXPECT_EQ(quotedIfBlank(L"C:\\Tools\\trayflush.exe"), L"C:\\Tools\\trayflush.exe");
  EXPECT_EQ(quotedIfBlank(L"C:\\Program Files\\Tray\\trayflush.exe"),
            L"\"C:\\Program Files\\Tray\\trayflush.exe\"");
}

TEST(DriveListEntryTest, LowerCaseLetterAndColon) {
  EXPECT_EQ(driveListEntry(L'E'), L"e:");
  EXPECT_EQ(driveListEntry(L'd'), L"d:");
}

}  // namespace
}  // namespace zelvo
