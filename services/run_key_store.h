// The start-up store on Windows: values under the current user's Run key, which Windows reads at
// every logon. Below the entries lie the five key and value operations, each of which opens the
// key at its start and closes it before it returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "services/registry.h"
#include "services/startup_store.h"

namespace zelvo {

inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Reading needs to query values only. Writing asks for READ_CONTROL and the six value and
// sub-key rights (KEY_READ | KEY_WRITE | KEY_CREATE_LINK), never the full KEY_ALL_ACCESS, which
// would also ask to delete the key and change its owner or security.
inline constexpr std::uint32_t kReadAccess = kKeyQueryValue;
inline constexpr std::uint32_t kWriteAccess = 0x2003F;

// What a read gives: nothing (the read failed), text, or a number.
using RegistryValue = std::variant<std::monostate, std::wstring, std::int32_t>;

class RunKeyStore final : public StartupStore {
 public:
  explicit RunKeyStore(Registry& registry) : registry_(registry) {}
  RunKeyStore(const RunKeyStore&) = delete;
  RunKeyStore& operator=(const RunKeyStore&) = delete;

  // The entry's data read as text; empty when the key or the value is missing or unreadable. A
  // value that cannot be read counts as missing, as it always has on Windows.
  StartupEntry readEntry(const std::wstring& name) override;
  // Writes the path, in quotes when it holds a blank, since Windows would otherwise try
  // C:\Program.exe and the like at every logon.
  bool addEntry(const std::wstring& name, const std::wstring& programPath) override;
  // An entry that is not there, or a start-up key that is not there, is already removed.
  bool removeEntry(const std::wstring& name) override;

  // Keys and values: each gives the registry's result code, 0 for success.
  long openKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access);
  void closeKey();
  // Reads as text for the text and byte types (REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_LINK,
  // REG_MULTI_SZ), whatever type is stored, otherwise as a 32-bit number. Stored text is UTF-16;
  // the bytes of any other stored type are read as 8-bit text, up to their first zero byte.
  // `value` is left as it was when the read fails.
  long readValue(std::uint32_t root, const std::wstring& subKey, const std::wstring& name,
                 RegistryValue& value, std::uint32_t expectedType);
  // Stores the text with its terminating zero; creates the key when it is missing.
  long writeValue(std::uint32_t root, const std::wstring& subKey, const std::wstring& name,
                  const std::wstring& data, std::uint32_t type);
  long deleteValue(std::uint32_t root, const std::wstring& subKey, const std::wstring& name);

 private:
  Registry& registry_;
  std::unique_ptr<RegistryKey> keyHandle_;  // open only within one key or value operation
};

}  // namespace zelvo
