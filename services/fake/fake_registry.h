// A scripted registry for host tests: keys and values are set up by the test, refusals can be
// scripted, and every key opened, every value written and every key closed is recorded.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "services/registry.h"

namespace zelvo::fake {

// Key and value names compare without regard to case, as the registry's do.
struct NoCaseLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const;
};

struct StoredValue {
  std::uint32_t type = kRegNone;
  std::vector<std::byte> data;
};

using Values = std::map<std::wstring, StoredValue, NoCaseLess>;

struct KeyOpen {
  std::uint32_t root;
  std::wstring subKey;
  std::uint32_t access;
  bool create;  // through createKey
};

struct ValueWrite {
  std::wstring name;
  std::uint32_t type;
  std::vector<std::byte> data;  // exactly the bytes and the size handed over
};

class FakeRegistry final : public Registry {
 public:
  // Set up by the test: the keys under HKEY_CURRENT_USER that exist, with their values.
  std::map<std::wstring, Values, NoCaseLess> keys;
  // Rights the user does not have: an open or create asking for any of them is refused.
  std::uint32_t refusedRights = 0;
  // Result codes to answer in place of a successful set, delete or create.
  long setValueResult = kErrorSuccess;
  long deleteValueResult = kErrorSuccess;
  long createKeyResult = kErrorSuccess;

  // Recorded.
  std::vector<KeyOpen> opens;
  std::vector<ValueWrite> writes;
  std::vector<std::wstring> deletes;
  int openKeys = 0;  // keys open right now

  long openKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
               std::unique_ptr<RegistryKey>& key) override;
  long createKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
                 std::unique_ptr<RegistryKey>& key) override;

  // A REG_SZ value as a well-behaved writer stores it, with its terminating zero.
  static StoredValue text(std::wstring_view text);
  // The text of a stored value when it is a REG_SZ with its terminating zero counted.
  std::optional<std::wstring> storedText(const std::wstring& subKey,
                                         const std::wstring& name) const;

 private:
  long open(std::uint32_t root, const std::wstring& subKey, std::uint32_t access, bool create,
            std::unique_ptr<RegistryKey>& key);
};

}  // namespace zelvo::fake
