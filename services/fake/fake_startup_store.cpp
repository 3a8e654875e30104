#include "services/fake/fake_startup_store.h"

namespace zelvo::fake {

StartupEntry FakeStartupStore::readEntry(const std::wstring& name) {
  if (const auto found = unreadable.find(name); found != unreadable.end()) {
    return {{}, found->second};
  }
  const auto found = entries.find(name);
  return {found == entries.end() ? std::wstring() : found->second, std::nullopt};
}

bool FakeStartupStore::addEntry(const std::wstring& name, const std::wstring& programPath) {
  log.push_back(L"add " + name + L" " + programPath);
  unreadable.erase(name);
  entries[name] = programPath;
  return true;
}

bool FakeStartupStore::removeEntry(const std::wstring& name) {
  log.push_back(L"remove " + name);
  unreadable.erase(name);
  entries.erase(name);
  return true;
}

}  // namespace zelvo::fake
