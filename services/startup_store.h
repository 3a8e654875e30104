// The current user's start-up store: named entries, each starting one program at every logon.
// Windows keeps them under the Run key, Linux desktops as XDG autostart entries.
#pragma once

#include <optional>
#include <string>

namespace zelvo {

// One entry as a read finds it.
struct StartupEntry {
  // The text the presence test reads; empty when there is no entry, when the desktop treats it
  // as switched off, or when it cannot be read.
  std::wstring text;
  // Set, to where the entry lies as the user would look for it (a file's path), when an entry is
  // there but cannot be read: its contents are unknown, so it must not be replaced or removed on
  // the user's behalf.
  std::optional<std::wstring> unreadableAt;
};

class StartupStore {
 public:
  virtual ~StartupStore() = default;
  virtual StartupEntry readEntry(const std::wstring& name) = 0;
  // Stores an entry that starts the program at this path; true when it is stored.
  virtual bool addEntry(const std::wstring& name, const std::wstring& programPath) = 0;
  // True when no entry of this name is left (one that was never there counts as removed).
  virtual bool removeEntry(const std::wstring& name) = 0;
};

}  // namespace zelvo
