// The registry on Win32, through the UTF-16 functions, so that a path with Polish letters is
// stored as it is whatever the system's code page.
#pragma once

#include "services/registry.h"

namespace zelvo::win32 {

class Win32Registry final : public Registry {
 public:
  long openKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
               std::unique_ptr<RegistryKey>& key) override;
  long createKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
                 std::unique_ptr<RegistryKey>& key) override;
};

}  // namespace zelvo::win32
