// Runs the start-up store over the real registry through the cases the host tests give the fake
// registry: a missing key or value, text with and without its terminating zero, long text, and
// values of other types. Writes its values under a scratch key of the current user (and the
// entries under the Run key of the throwaway prefix), prints "ok - " or "FAIL - " per case and
// exits 1 when any case failed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "services/registry_text.h"
#include "services/run_key_store.h"
#include "services/win32/win32_registry.h"

namespace {

using zelvo::RegistryValue;

constexpr wchar_t kScratch[] = L"Software\\Zelvo CD registry check";
int failures = 0;

void expect(bool passed, const char* what) {
  std::printf("%s - %s\n", passed ? "ok  " : "FAIL", what);
  if (!passed) ++failures;
}

// Stores raw bytes, as any other program may have left them.
void storeRaw(const wchar_t* name, DWORD type, const std::vector<BYTE>& data) {
  HKEY key = nullptr;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                    nullptr);
  ::RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
  ::RegCloseKey(key);
}

std::vector<BYTE> textBytes(const std::wstring& text, bool terminated) {
  std::vector<BYTE> bytes;
  for (const std::byte b : zelvo::registryText(text)) bytes.push_back(std::to_integer<BYTE>(b));
  if (!terminated) bytes.resize(bytes.size() - 2);
  return bytes;
}

struct ReadCase {
  const char* what;
  const wchar_t* name;  // stored under the scratch key before the reads, unless null
  DWORD type;
  std::vector<BYTE> data;
  std::uint32_t expectedType;
  long code;
  RegistryValue value;  // the out value starts as L"before"
};

}  // namespace

int wmain() {
  zelvo::win32::Win32Registry registry;
  zelvo::RunKeyStore store(registry);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);

  RegistryValue untouched = std::wstring(L"before");
  expect(store.readValue(zelvo::kCurrentUser, kScratch, L"V", untouched, REG_SZ) ==
                 ERROR_FILE_NOT_FOUND &&
             untouched == RegistryValue(std::wstring(L"before")),
         "a missing key: code 2, the value untouched");

  const std::wstring longText = L"C:\\" + std::wstring(5000, L'd') + L"\\trayflush.exe";
  const ReadCase cases[] = {
      {"text", L"Text", REG_SZ, textBytes(L"C:\\Zażółć\\a.exe", true), REG_SZ, 0,
       std::wstring(L"C:\\Zażółć\\a.exe")},
      {"long text, read whole", L"Long", REG_SZ, textBytes(longText, true), REG_SZ, 0, longText},
      {"text without its terminating zero", L"Bare", REG_SZ, textBytes(L"abc", false), REG_SZ, 0,
       std::wstring(L"abc")},
      {"expandable text", L"Expand", REG_EXPAND_SZ, textBytes(L"%ProgramFiles%", true), REG_SZ, 0,
       std::wstring(L"%ProgramFiles%")},
      {"a number read as 8-bit text",
       L"Dword31",
       REG_DWORD,
       {0x31, 0, 0, 0},
       REG_SZ,
       0,
       std::wstring(L"1")},
      {"256 read as 8-bit text is empty",
       L"Dword256",
       REG_DWORD,
       {0, 1, 0, 0},
       REG_SZ,
       0,
       std::wstring()},
      {"one byte read as 8-bit text", L"Binary", REG_BINARY, {0x41}, REG_SZ, 0, std::wstring(L"A")},
      {"a number read as a number",
       L"Number",
       REG_DWORD,
       {0x07, 0x01, 0, 0x80},
       REG_DWORD,
       0,
       std::int32_t(0x80000107u)},
      {"text too long for a number",
       L"Text",
       REG_SZ,
       {},
       REG_DWORD,
       ERROR_MORE_DATA,
       std::wstring(L"before")},
      {"a missing value", nullptr, 0, {}, REG_SZ, ERROR_FILE_NOT_FOUND, std::wstring(L"before")},
  };
  for (const ReadCase& c : cases) {
    if (c.name && !c.data.empty()) storeRaw(c.name, c.type, c.data);
  }
  for (const ReadCase& c : cases) {
    RegistryValue value = std::wstring(L"before");
    const long code = store.readValue(zelvo::kCurrentUser, kScratch, c.name ? c.name : L"Missing",
                                      value, c.expectedType);
    expect(code == c.code && value == c.value, c.what);
  }

  // The entries, under the Run key: written with the terminating zero, quoted where a blank is,
  // tested by presence, removed, and a missing one counts as removed.
  const std::wstring path = L"C:\\Program Files\\Zelvo CD\\traywatch.exe";
  expect(store.addEntry(L"WysuwajPotem", path), "an entry is added");
  RegistryValue stored;
  store.readValue(zelvo::kCurrentUser, zelvo::kRunKey, L"WysuwajPotem", stored, REG_SZ);
  expect(stored == RegistryValue(L"\"" + path + L"\""), "quoted, and read back exactly");
  expect(store.readEntry(L"WysuwajPotem").text == L"\"" + path + L"\"", "its text is there");
  expect(store.removeEntry(L"WysuwajPotem") && store.readEntry(L"WysuwajPotem").text.empty(),
         "removed, it is gone");
  expect(store.removeEntry(L"WysuwajPotem"), "removing it again is no failure");

  ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
  return failures == 0 ? 0 : 1;
}
