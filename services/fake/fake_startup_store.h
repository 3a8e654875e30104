// A scripted start-up store for host tests: entries by name, some of them there but unreadable,
// as a store of files has them. Adding replaces whatever lies under the name, removing deletes
// it, as the files' store does; every add and remove is recorded.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "services/startup_store.h"

namespace zelvo::fake {

class FakeStartupStore final : public StartupStore {
 public:
  // Set up by the test.
  std::map<std::wstring, std::wstring> entries;     // readable ones: name, text
  std::map<std::wstring, std::wstring> unreadable;  // name, where it lies

  // Recorded: "add NAME PATH" and "remove NAME".
  std::vector<std::wstring> log;

  StartupEntry readEntry(const std::wstring& name) override;
  bool addEntry(const std::wstring& name, const std::wstring& programPath) override;
  bool removeEntry(const std::wstring& name) override;
};

}  // namespace zelvo::fake
