#include "configurator/autostart.h"

#include <gtest/gtest.h>

#include <functional>

#include "services/fake/fake_registry.h"
#include "services/fake/fake_services.h"
#include "services/registry_text.h"
#include "services/run_key_store.h"

namespace zelvo {
namespace {

using fake::FakeRegistry;
using fake::StoredValue;

std::vector<std::byte> bytes(std::initializer_list<unsigned> values) {
  std::vector<std::byte> out;
  for (const unsigned v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

// The stored bytes of a text without its terminating zero, as a careless writer leaves them.
std::vector<std::byte> unterminated(std::wstring_view text) {
  std::vector<std::byte> data = registryText(text);
  data.resize(data.size() - 2);
  return data;
}

struct Fixture {
  FakeRegistry registry;
  fake::FakeServices services;
  RunKeyStore store{registry};
  Autostart autostart{store, services};

  Fixture() { registry.keys[kRunKey]; }
  fake::Values& run() { return registry.keys[kRunKey]; }
};

// --- The launchers' paths as they are stored ---

struct PathCase {
  std::wstring folder;
  std::wstring ejectNow;  // stored under WysuwajTeraz
  std::wstring ejectAtShutdown;
};

void PrintTo(const PathCase& c, std::ostream* os) {
  *os << testing::PrintToString(c.folder);
}

class ProgramPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(ProgramPathTest, StoresTheLaunchersPathFromOurFolderWithItsTerminatingZero) {
  Fixture f;
  f.services.folder = GetParam().folder;
  ASSERT_TRUE(f.autostart.addEjectNow());
  ASSERT_TRUE(f.autostart.addEjectAtShutdown());

  ASSERT_EQ(f.registry.writes.size(), 2u);
  const std::vector<std::pair<std::wstring, std::wstring>> expected{
      {kEjectNowValue, GetParam().ejectNow}, {kEjectAtShutdownValue, GetParam().ejectAtShutdown}};
  for (size_t i = 0; i < expected.size(); ++i) {
    const fake::ValueWrite& write = f.registry.writes[i];
    EXPECT_EQ(write.name, expected[i].first);
    EXPECT_EQ(write.type, kRegSz);
    // Two bytes per character and two for the zero: readers get exactly the path back.
    EXPECT_EQ(write.data.size(), (expected[i].second.size() + 1) * 2);
    EXPECT_EQ(f.registry.storedText(kRunKey, expected[i].first), expected[i].second);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ProgramPathTest,
    testing::Values(
        PathCase{L"C:\\Tools", L"C:\\Tools\\trayflush.exe", L"C:\\Tools\\traywatch.exe"},
        PathCase{L"C:\\", L"C:\\trayflush.exe", L"C:\\traywatch.exe"},
        PathCase{L"C:\\Program Files\\Tray", L"\"C:\\Program Files\\Tray\\trayflush.exe\"",
                 L"\"C:\\Program Files\\Tray\\traywatch.exe\""},
        PathCase{L"C:\\Narzędzia\\Żółw", L"C:\\Narzędzia\\Żółw\\trayflush.exe",
                 L"C:\\Narzędzia\\Żółw\\traywatch.exe"},
        PathCase{L"D:\\Zażółć gęślą", L"\"D:\\Zażółć gęślą\\trayflush.exe\"",
                 L"\"D:\\Zażółć gęślą\\traywatch.exe\""}),
    [](const auto& instance) { return "folder" + std::to_string(instance.index); });

TEST(ProgramPathTest, AFolderThatCannotBeHadWritesNothing) {
  struct NoFolder : fake::FakeServices {
    std::wstring programFolder() override { throw ServiceError(122); }
  };
  FakeRegistry registry;
  registry.keys[kRunKey];
  NoFolder services;
  RunKeyStore store(registry);
  Autostart autostart(store, services);
  EXPECT_FALSE(autostart.addEjectNow());
  EXPECT_TRUE(registry.writes.empty());
  EXPECT_EQ(registry.openKeys, 0);
}

// --- Keys: the user's Run key with the least rights, never left open ---

TEST(AutostartKeyTest, EachOperationOpensTheRunKeyWithItsOwnRightsAndClosesIt) {
  struct Operation {
    const char* name;
    std::function<void(Autostart&)> call;
    std::uint32_t access;
  };
  const std::vector<Operation> operations{
      {"addEjectNow", [](Autostart& a) { a.addEjectNow(); }, 0x2003F},
      {"removeEjectNow", [](Autostart& a) { a.removeEjectNow(); }, 0x2003F},
      {"isEjectNowOn", [](Autostart& a) { a.isEjectNowOn(); }, 0x1},
      {"addEjectAtShutdown", [](Autostart& a) { a.addEjectAtShutdown(); }, 0x2003F},
      {"removeEjectAtShutdown", [](Autostart& a) { a.removeEjectAtShutdown(); }, 0x2003F},
      {"isEjectAtShutdownOn", [](Autostart& a) { a.isEjectAtShutdownOn(); }, 0x1},
  };
  for (const Operation& operation : operations) {
    SCOPED_TRACE(operation.name);
    Fixture f;
    f.run()[kEjectNowValue] = FakeRegistry::text(L"C:\\Tools\\trayflush.exe");
    f.run()[kEjectAtShutdownValue] = FakeRegistry::text(L"C:\\Tools\\traywatch.exe");
    operation.call(f.autostart);
    ASSERT_EQ(f.registry.opens.size(), 1u);
    EXPECT_EQ(f.registry.opens[0].root, 0x80000001u);
    EXPECT_EQ(f.registry.opens[0].subKey, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(f.registry.opens[0].access, operation.access);
    EXPECT_FALSE(f.registry.opens[0].create);
    EXPECT_EQ(f.registry.openKeys, 0);
  }
}

// --- Testing an entry ---

struct PresenceCase {
  const char* what;
  std::optional<StoredValue> stored;  // nothing: the value is missing
  int expected;
};

void PrintTo(const PresenceCase& c, std::ostream* os) {
  *os << c.what;
}

class PresenceTest : public testing::TestWithParam<PresenceCase> {};

TEST_P(PresenceTest, CountsAnyTextAsPresent) {
  for (const bool ejectNow : {true, false}) {
    Fixture f;
    const std::wstring name = ejectNow ? kEjectNowValue : kEjectAtShutdownValue;
    if (GetParam().stored) f.run()[name] = *GetParam().stored;
    // The other entry is there, so that a test reading the wrong name shows.
    f.run()[ejectNow ? kEjectAtShutdownValue : kEjectNowValue] = FakeRegistry::text(L"x");
    EXPECT_EQ(ejectNow ? f.autostart.isEjectNowOn() : f.autostart.isEjectAtShutdownOn(),
              GetParam().expected);
    EXPECT_EQ(f.registry.openKeys, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    StoredValues, PresenceTest,
    testing::Values(
        PresenceCase{"missing", std::nullopt, 0},
        PresenceCase{"path", FakeRegistry::text(L"C:\\Tools\\trayflush.exe"), 1},
        PresenceCase{"pathElsewhere", FakeRegistry::text(L"Z:\\stare\\x.exe"), 1},
        PresenceCase{"emptyText", FakeRegistry::text(L""), 0},
        PresenceCase{"veryLong", FakeRegistry::text(std::wstring(5000, L'x')), 1},
        PresenceCase{"noTerminatingZero", StoredValue{kRegSz, unterminated(L"C:\\a.exe")}, 1},
        PresenceCase{"zeroFirst", StoredValue{kRegSz, registryText(std::wstring(L"\0ab", 3))}, 0},
        PresenceCase{"expandSz", StoredValue{kRegExpandSz, registryText(L"%ProgramFiles%")}, 1},
        // Other types are read as 8-bit text: only their first byte decides.
        PresenceCase{"dwordReadAsText", StoredValue{kRegDword, bytes({0x31, 0, 0, 0})}, 1},
        PresenceCase{"dwordZero", StoredValue{kRegDword, bytes({0, 0, 0, 0})}, 0},
        PresenceCase{"dword256", StoredValue{kRegDword, bytes({0, 1, 0, 0})}, 0},
        PresenceCase{"binaryOneByte", StoredValue{kRegBinary, bytes({0x41})}, 1},
        PresenceCase{"binaryEmpty", StoredValue{kRegBinary, {}}, 0}),
    [](const auto& instance) { return std::string(instance.param.what); });

TEST(PresenceTest, GivesZeroWhenTheKeyIsMissingOrRefused) {
  Fixture missing;
  missing.registry.keys.clear();
  EXPECT_EQ(missing.autostart.isEjectNowOn(), 0);
  EXPECT_EQ(missing.autostart.isEjectAtShutdownOn(), 0);

  Fixture refused;
  refused.run()[kEjectNowValue] = FakeRegistry::text(L"C:\\Tools\\trayflush.exe");
  refused.registry.refusedRights = kKeyQueryValue;
  EXPECT_EQ(refused.autostart.isEjectNowOn(), 0);
  EXPECT_EQ(refused.registry.openKeys, 0);
}

// --- Reading values ---

struct ReadCase {
  const char* what;
  std::optional<StoredValue> stored;
  std::uint32_t expectedType;
  long code;
  RegistryValue value;  // what the out value holds afterwards; it starts as L"before"
};

void PrintTo(const ReadCase& c, std::ostream* os) {
  *os << c.what;
}

class ReadValueTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadValueTest, ReadsByTheExpectedTypeAndLeavesTheValueWhenItFails) {
  Fixture f;
  if (GetParam().stored) f.run()[L"V"] = *GetParam().stored;
  RegistryValue value = std::wstring(L"before");
  EXPECT_EQ(f.store.readValue(kCurrentUser, kRunKey, L"V", value, GetParam().expectedType),
            GetParam().code);
  EXPECT_EQ(value, GetParam().value);
  EXPECT_EQ(f.registry.openKeys, 0);
}

const std::wstring kLongPath = L"C:\\" + std::wstring(300, L'd') + L"\\trayflush.exe";

INSTANTIATE_TEST_SUITE_P(
    Values, ReadValueTest,
    testing::Values(
        ReadCase{"text", FakeRegistry::text(L"C:\\Zażółć\\a.exe"), kRegSz, 0,
                 std::wstring(L"C:\\Zażółć\\a.exe")},
        ReadCase{"longText", FakeRegistry::text(kLongPath), kRegSz, 0, kLongPath},
        ReadCase{"unterminatedEndsWhereTheDataEnds", StoredValue{kRegSz, unterminated(L"abc")},
                 kRegSz, 0, std::wstring(L"abc")},
        ReadCase{"textUpToTheFirstZero",
                 StoredValue{kRegSz, registryText(std::wstring(L"one\0two", 7))}, kRegMultiSz, 0,
                 std::wstring(L"one")},
        ReadCase{"bytesAsEightBitText", StoredValue{kRegBinary, bytes({0x61, 0x62, 0, 0x63})},
                 kRegSz, 0, std::wstring(L"ab")},
        ReadCase{"missing", std::nullopt, kRegSz, kErrorFileNotFound, std::wstring(L"before")},
        ReadCase{"number", StoredValue{kRegDword, bytes({0x07, 0x01, 0, 0x80})}, kRegDword, 0,
                 std::int32_t(0x80000107u)},
        ReadCase{"textAsNumberTooLong", FakeRegistry::text(L"abc"), kRegDword, kErrorMoreData,
                 std::wstring(L"before")}),
    [](const auto& instance) { return std::string(instance.param.what); });

// --- Adding and removing entries ---

TEST(AddEntryTest, OverwritesAnOldPathAndLeavesOtherValuesAlone) {
  Fixture f;
  f.run()[kEjectNowValue] = FakeRegistry::text(L"Z:\\stare\\trayflush.exe");
  f.run()[L"Inny"] = FakeRegistry::text(L"C:\\inny.exe");
  EXPECT_TRUE(f.autostart.addEjectNow());
  EXPECT_EQ(f.registry.storedText(kRunKey, kEjectNowValue), L"C:\\Tools\\trayflush.exe");
  EXPECT_EQ(f.registry.storedText(kRunKey, L"Inny"), L"C:\\inny.exe");
  EXPECT_EQ(f.run().size(), 2u);
}

TEST(AddEntryTest, CreatesAMissingRunKeyWithTheSameRights) {
  Fixture f;
  f.registry.keys.clear();
  EXPECT_TRUE(f.autostart.addEjectAtShutdown());
  ASSERT_EQ(f.registry.opens.size(), 2u);
  EXPECT_FALSE(f.registry.opens[0].create);
  EXPECT_TRUE(f.registry.opens[1].create);
  EXPECT_EQ(f.registry.opens[1].subKey, kRunKey);
  EXPECT_EQ(f.registry.opens[1].access, 0x2003Fu);
  EXPECT_EQ(f.registry.storedText(kRunKey, kEjectAtShutdownValue), L"C:\\Tools\\traywatch.exe");
  EXPECT_EQ(f.registry.openKeys, 0);
}

TEST(AddEntryTest, ReportsEveryWayTheWriteFails) {
  struct Failure {
    const char* what;
    std::function<void(Fixture&)> script;
  };
  const std::vector<Failure> failures{
      {"refusedRights", [](Fixture& f) { f.registry.refusedRights = kKeySetValue; }},
      {"refusedWrite", [](Fixture& f) { f.registry.setValueResult = kErrorAccessDenied; }},
      {"missingKeyNotCreated",
       [](Fixture& f) {
         f.registry.keys.clear();
         f.registry.createKeyResult = kErrorAccessDenied;
       }},
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.what);
    Fixture f;
    failure.script(f);
    EXPECT_FALSE(f.autostart.addEjectNow());
    EXPECT_EQ(f.registry.storedText(kRunKey, kEjectNowValue), std::nullopt);
    EXPECT_EQ(f.registry.openKeys, 0);
    // Only a missing key is made; one the user may not write to is left alone.
    EXPECT_EQ(f.registry.opens.back().create, f.registry.createKeyResult != kErrorSuccess);
  }
}

TEST(RemoveEntryTest, SucceedsWhenTheEntryIsGoneAfterwards) {
  struct Case {
    const char* what;
    std::function<void(Fixture&)> script;
    bool removed;
  };
  const std::vector<Case> cases{
      {"present", [](Fixture& f) { f.run()[kEjectNowValue] = FakeRegistry::text(L"x"); }, true},
      {"absent", [](Fixture&) {}, true},
      {"keyMissing", [](Fixture& f) { f.registry.keys.clear(); }, true},
      {"refusedRights",
       [](Fixture& f) {
         f.run()[kEjectNowValue] = FakeRegistry::text(L"x");
         f.registry.refusedRights = kKeySetValue;
       },
       false},
      {"refusedDelete",
       [](Fixture& f) {
         f.run()[kEjectNowValue] = FakeRegistry::text(L"x");
         f.registry.deleteValueResult = kErrorAccessDenied;
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    f.run()[L"Inny"] = FakeRegistry::text(L"C:\\inny.exe");
    c.script(f);
    const bool keyThere = f.registry.keys.contains(kRunKey);
    EXPECT_EQ(f.autostart.removeEjectNow(), c.removed);
    EXPECT_EQ(f.registry.keys.contains(kRunKey), keyThere);
    if (keyThere) {
      EXPECT_EQ(f.run().contains(kEjectNowValue), !c.removed);
      EXPECT_EQ(f.registry.storedText(kRunKey, L"Inny"), L"C:\\inny.exe");
    }
    // Removing never creates the key.
    for (const fake::KeyOpen& open : f.registry.opens) EXPECT_FALSE(open.create);
    EXPECT_EQ(f.registry.openKeys, 0);
  }
}

}  // namespace
}  // namespace zelvo
