#include "services/fake/fake_registry.h"

#include <algorithm>
#include <cwctype>

#include "services/registry_text.h"

namespace zelvo::fake {
namespace {

class FakeKey final : public RegistryKey {
 public:
  FakeKey(FakeRegistry& registry, std::wstring subKey, std::uint32_t access)
      : registry_(registry), subKey_(std::move(subKey)), access_(access) {
    ++registry_.openKeys;
  }
  ~FakeKey() override { --registry_.openKeys; }

  long queryValue(const std::wstring& name, std::uint32_t& type,
                  std::vector<std::byte>& data) override {
    if (!(access_ & kKeyQueryValue)) return kErrorAccessDenied;
    const Values& values = registry_.keys.at(subKey_);
    const auto value = values.find(name);
    if (value == values.end()) return kErrorFileNotFound;
    type = value->second.type;
    data = value->second.data;
    return kErrorSuccess;
  }

  long setValue(const std::wstring& name, std::uint32_t type,
                std::span<const std::byte> data) override {
    if (!(access_ & kKeySetValue)) return kErrorAccessDenied;
    registry_.writes.push_back({name, type, {data.begin(), data.end()}});
    if (registry_.setValueResult != kErrorSuccess) return registry_.setValueResult;
    registry_.keys.at(subKey_)[name] = {type, {data.begin(), data.end()}};
    return kErrorSuccess;
  }

  long deleteValue(const std::wstring& name) override {
    if (!(access_ & kKeySetValue)) return kErrorAccessDenied;
    registry_.deletes.push_back(name);
    if (registry_.deleteValueResult != kErrorSuccess) return registry_.deleteValueResult;
    return registry_.keys.at(subKey_).erase(name) ? kErrorSuccess : kErrorFileNotFound;
  }

 private:
  FakeRegistry& registry_;
  std::wstring subKey_;
  std::uint32_t access_;
};

}  // namespace

bool NoCaseLess::operator()(const std::wstring& a, const std::wstring& b) const {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](wchar_t x, wchar_t y) { return std::towlower(x) < std::towlower(y); });
}

long FakeRegistry::openKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
                           std::unique_ptr<RegistryKey>& key) {
  return open(root, subKey, access, false, key);
}

long FakeRegistry::createKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
                             std::unique_ptr<RegistryKey>& key) {
  return open(root, subKey, access, true, key);
}

long FakeRegistry::open(std::uint32_t root, const std::wstring& subKey, std::uint32_t access,
                        bool create, std::unique_ptr<RegistryKey>& key) {
  key.reset();
  opens.push_back({root, subKey, access, create});
  if (root != kCurrentUser) return 6;  // ERROR_INVALID_HANDLE: no other root is modelled
  if (access & refusedRights) return kErrorAccessDenied;
  if (create) {
    if (createKeyResult != kErrorSuccess) return createKeyResult;
    keys[subKey];
  } else if (!keys.contains(subKey)) {
    return kErrorFileNotFound;
  }
  key = std::make_unique<FakeKey>(*this, subKey, access);
  return kErrorSuccess;
}

StoredValue FakeRegistry::text(std::wstring_view text) {
  return {kRegSz, registryText(text)};
}

std::optional<std::wstring> FakeRegistry::storedText(const std::wstring& subKey,
                                                     const std::wstring& name) const {
  const auto key = keys.find(subKey);
  if (key == keys.end()) return std::nullopt;
  const auto value = key->second.find(name);
  if (value == key->second.end() || value->second.type != kRegSz) return std::nullopt;
  const std::wstring stored = textFromRegistry(value->second.data);
  if (value->second.data != registryText(stored)) return std::nullopt;
  return stored;
}

}  // namespace zelvo::fake
