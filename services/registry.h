// The registry as the programs' logic sees it: keys opened with an explicit access mask, values
// read and written as type and bytes. The real registry (Win32) and a scripted one for host tests
// implement it; the logic never sees a native handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zelvo {

// Predefined root keys by their 32-bit handle values.
inline constexpr std::uint32_t kCurrentUser = 0x80000001;  // HKEY_CURRENT_USER

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;

// Access rights.
inline constexpr std::uint32_t kKeyQueryValue = 0x1;
inline constexpr std::uint32_t kKeySetValue = 0x2;

// Result codes the logic tells apart (the platform's own numbers).
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorMoreData = 234;

// One open key; destroying it closes the key.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // The whole value, however long: its type and exactly the bytes the registry holds.
  virtual long queryValue(const std::wstring& name, std::uint32_t& type,
                          std::vector<std::byte>& data) = 0;
  virtual long setValue(const std::wstring& name, std::uint32_t type,
                        std::span<const std::byte> data) = 0;
  virtual long deleteValue(const std::wstring& name) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // Opens an existing key with the given rights; on success `key` owns it.
  virtual long openKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
                       std::unique_ptr<RegistryKey>& key) = 0;
  // Opens the key, creating it (and any missing keys above it) first when it is not there.
  virtual long createKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
                         std::unique_ptr<RegistryKey>& key) = 0;
};

}  // namespace zelvo
