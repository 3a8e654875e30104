// The current user's start-up store: named entries, each starting one program at every logon.
// Windows keeps them under the Run key, Linux desktops as XDG autostart entries.
#pragma once

#include <string>

namespace zelvo {

class StartupStore {
 public:
  virtual ~StartupStore() = default;
  // The entry's text as the presence test reads it; empty when there is no entry, or none that
  // can be read.
  virtual std::wstring entryText(const std::wstring& name) = 0;
  // Stores an entry that starts the program at this path; true when it is stored.
  virtual bool addEntry(const std::wstring& name, const std::wstring& programPath) = 0;
  // True when no entry of this name is left (one that was never there counts as removed).
  virtual bool removeEntry(const std::wstring& name) = 0;
};

}  // namespace zelvo
