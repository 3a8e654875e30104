// The suite's two entries in the current user's start-up list: Windows starts trayflush and
// traywatch at every logon from them. Adds, removes and tests each entry; knows nothing of the
// window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "services/program_services.h"
#include "services/registry.h"

namespace zelvo {

inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kEjectNowValue[] = L"WysuwajTeraz";
inline constexpr wchar_t kEjectAtShutdownValue[] = L"WysuwajPotem";
inline constexpr wchar_t kEjectNowProgram[] = L"trayflush.exe";
inline constexpr wchar_t kEjectAtShutdownProgram[] = L"traywatch.exe";

// Reading needs to query values only. Writing asks for READ_CONTROL and the six value and
// sub-key rights (KEY_READ | KEY_WRITE | KEY_CREATE_LINK), never the full KEY_ALL_ACCESS, which
// would also ask to delete the key and change its owner or security.
inline constexpr std::uint32_t kReadAccess = kKeyQueryValue;
inline constexpr std::uint32_t kWriteAccess = 0x2003F;

// What a read gives: nothing (the read failed), text, or a number.
using RegistryValue = std::variant<std::monostate, std::wstring, std::int32_t>;

// The start-up command for a program lying in `folder`: its full path, in quotes when it holds a
// blank, since Windows would otherwise try C:\Program.exe and the like at every logon.
std::wstring startupCommand(std::wstring_view folder, std::wstring_view fileName);

class Autostart {
 public:
  Autostart(Registry& registry, ProgramServices& services)
      : registry_(registry), services_(services) {}
  Autostart(const Autostart&) = delete;
  Autostart& operator=(const Autostart&) = delete;

  // Entries. The adds and removes tell whether the registry now holds what was asked; the tests
  // give 1 when the entry is there with any text, else 0 (a check box state).
  bool addEjectNow();
  bool removeEjectNow();
  int isEjectNowOn();
  bool addEjectAtShutdown();
  bool removeEjectAtShutdown();
  int isEjectAtShutdownOn();

  // Keys and values. Each opens the key at its start and closes it before it returns, and gives
  // the registry's result code, 0 for success.
  long openKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access);
  void closeKey();
  // Reads as text for the text and byte types (REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_LINK,
  // REG_MULTI_SZ), whatever type is stored, otherwise as a 32-bit number. `value` is left as it
  // was when the read fails.
  long readValue(std::uint32_t root, const std::wstring& subKey, const std::wstring& name,
                 RegistryValue& value, std::uint32_t expectedType);
  // Stores the text with its terminating zero; creates the key when it is missing.
  long writeValue(std::uint32_t root, const std::wstring& subKey, const std::wstring& name,
                  const std::wstring& data, std::uint32_t type);
  long deleteValue(std::uint32_t root, const std::wstring& subKey, const std::wstring& name);

 private:
  bool addEntry(const wchar_t* name, const wchar_t* fileName);
  bool removeEntry(const wchar_t* name);
  int isEntryOn(const wchar_t* name);

  Registry& registry_;
  ProgramServices& services_;
  std::unique_ptr<RegistryKey> keyHandle_;  // open only within one key or value operation
};

}  // namespace zelvo
