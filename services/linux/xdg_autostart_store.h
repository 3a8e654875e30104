// The start-up store on Linux desktops: one XDG autostart entry per name, NAME.desktop. The
// user's own entry in $XDG_CONFIG_HOME/autostart (~/.config/autostart) is in force; without one,
// the first of the same name in the system's folders ($XDG_CONFIG_DIRS/autostart, /etc/xdg by
// default), where an administrator puts entries for everyone. Entries are read and written with
// GLib's key files and judged with its desktop-entry code, as the desktops that rest on GLib
// read them. Only the suite's own entries are ever read or touched, and in them only the keys
// the suite owns.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "services/startup_store.h"

namespace zelvo::linux_os {

// Desktop entries are a few hundred bytes; a bigger file is not read.
inline constexpr size_t kEntrySizeLimit = 64 * 1024;

// $XDG_CONFIG_HOME/autostart, or .config/autostart in the home folder: $HOME, or the password
// database's when it is unset, as GLib finds it. Empty when there is no home folder at all, so
// that nothing is written under the root's /.config.
std::filesystem::path autostartFolder();

// The autostart folder of each of $XDG_CONFIG_DIRS (/etc/xdg without it), the first the most
// important; relative ones do not count.
std::vector<std::filesystem::path> systemAutostartFolders();

class XdgAutostartStore final : public StartupStore {
 public:
  // The folders from the environment, as the XDG base directory rules give them. Without a home
  // folder, the user has no entry, and nothing can be stored or removed.
  XdgAutostartStore() : folder_(autostartFolder()), systemFolders_(systemAutostartFolders()) {}
  explicit XdgAutostartStore(std::filesystem::path folder,
                             std::vector<std::filesystem::path> systemFolders = {})
      : folder_(std::move(folder)), systemFolders_(std::move(systemFolders)) {}

  // The Exec line of the entry in force when the desktops start it at logon; empty when there is
  // none, or GLib would not start it (Hidden, switched off by X-GNOME-Autostart-enabled as GNOME
  // reads it, TryExec or the program in Exec missing, not an application). Only a regular file
  // up to kEntrySizeLimit is read, and its opening never waits: a FIFO or a device in its place
  // would hold the window back. The user's entry is unreadable when it is anything else (a
  // folder, a file too big or refused, a failed read) or GLib cannot load it.
  StartupEntry readEntry(const std::wstring& name) override;
  // Makes the desktops start the program. When the administrator's entry already runs it, the
  // user's entry that switches it off is removed; otherwise the user's entry gets the suite's
  // keys, every other line kept, or is written anew.
  bool addEntry(const std::wstring& name, const std::wstring& programPath) override;
  // Makes the desktops start nothing under this name. Over an administrator's entry that would
  // start, the user's entry (or a copy of the administrator's) says Hidden=true; otherwise the
  // user's entry is deleted. An entry that starts nothing already is left as it is.
  bool removeEntry(const std::wstring& name) override;

 private:
  std::filesystem::path folder_;
  std::vector<std::filesystem::path> systemFolders_;
};

// A program path as a desktop entry's Exec command line: quoted by the Desktop Entry rules when
// it holds a reserved character, with '%' doubled. The key file escapes it once more.
std::string execValue(const std::string& programPath);

}  // namespace zelvo::linux_os
