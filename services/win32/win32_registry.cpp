#include "services/win32/win32_registry.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "services/win32/unique_any.h"

namespace zelvo::win32 {
namespace {

// The predefined keys are 32-bit values sign-extended to the width of a handle, as windows.h
// spells HKEY_CURRENT_USER; zero-extended, 0x80000001 would name no key on 64-bit Windows.
HKEY predefinedKey(std::uint32_t root) {
  return reinterpret_cast<HKEY>(
      static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
}

class Win32Key final : public RegistryKey {
 public:
  explicit Win32Key(UniqueHkey key) : key_(std::move(key)) {}

  long queryValue(const std::wstring& name, std::uint32_t& type,
                  std::vector<std::byte>& data) override {
    data.resize(256);
    for (;;) {
      DWORD size = static_cast<DWORD>(data.size());
      DWORD stored = REG_NONE;
      const LSTATUS code = ::RegQueryValueExW(key_.get(), name.c_str(), nullptr, &stored,
                                              reinterpret_cast<BYTE*>(data.data()), &size);
      if (code == ERROR_MORE_DATA) {
        // Grown to what the registry asked for; the value may grow again before the next try.
        data.resize(std::max<size_t>(size, data.size() * 2));
        continue;
      }
      if (code != ERROR_SUCCESS) {
        data.clear();
        return code;
      }
      data.resize(size);  // only what the registry returned, never the rest of the buffer
      type = stored;
      return code;
    }
  }

  long setValue(const std::wstring& name, std::uint32_t type,
                std::span<const std::byte> data) override {
    return ::RegSetValueExW(key_.get(), name.c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size()));
  }

  long deleteValue(const std::wstring& name) override {
    return ::RegDeleteValueW(key_.get(), name.c_str());
  }

 private:
  UniqueHkey key_;
};

}  // namespace

long Win32Registry::openKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
                            std::unique_ptr<RegistryKey>& key) {
  key.reset();
  UniqueHkey opened;
  const LSTATUS code =
      ::RegOpenKeyExW(predefinedKey(root), subKey.c_str(), 0, access, opened.put());
  if (code == ERROR_SUCCESS) key = std::make_unique<Win32Key>(std::move(opened));
  return code;
}

long Win32Registry::createKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
                              std::unique_ptr<RegistryKey>& key) {
  key.reset();
  UniqueHkey created;
  const LSTATUS code =
      ::RegCreateKeyExW(predefinedKey(root), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        access, nullptr, created.put(), nullptr);
  if (code == ERROR_SUCCESS) key = std::make_unique<Win32Key>(std::move(created));
  return code;
}

}  // namespace zelvo::win32
