// The start-up store on Linux desktops: one XDG autostart entry per name, NAME.desktop in
// $XDG_CONFIG_HOME/autostart (~/.config/autostart), which every desktop reads at logon. Only the
// suite's own entries are ever read or touched.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "services/startup_store.h"

namespace zelvo::linux_os {

// Desktop entries are a few hundred bytes; a bigger file is not read.
inline constexpr size_t kEntrySizeLimit = 64 * 1024;

// $XDG_CONFIG_HOME/autostart, or .config/autostart in the home folder: $HOME, or the password
// database's when it is unset, as GLib finds it. Empty when there is no home folder at all, so
// that nothing is written under the root's /.config.
std::filesystem::path autostartFolder();

class XdgAutostartStore final : public StartupStore {
 public:
  // The folder from the environment, as the XDG base directory rules give it. Without a home
  // folder, nothing is there and nothing can be stored or removed.
  XdgAutostartStore() : folder_(autostartFolder()) {}
  explicit XdgAutostartStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // The entry's Exec line; empty when there is no entry, it has no Exec, or the desktops treat
  // it as switched off (Hidden true, or X-GNOME-Autostart-enabled false, as start-up settings
  // write it). Only a regular file up to kEntrySizeLimit is read, and its opening never
  // waits: a FIFO or a device in its place would hold the window back. Anything else there (a
  // folder, a file too big or refused, a failed read) is unreadable.
  StartupEntry readEntry(const std::wstring& name) override;
  // Written whole to a temporary file beside it, then renamed over the entry: a failure leaves
  // no half-written entry behind. The folder is made when it is missing.
  bool addEntry(const std::wstring& name, const std::wstring& programPath) override;
  bool removeEntry(const std::wstring& name) override;

 private:
  std::filesystem::path entryPath(const std::wstring& name) const;

  std::filesystem::path folder_;
};

// A text as a desktop entry's string value: backslashes and line breaks escaped.
std::string fileValue(const std::string& path);

// A program path as a desktop entry's Exec value: quoted by the Desktop Entry rules when it holds
// a reserved character, with '%' doubled and backslashes escaped for the file.
std::string execValue(const std::string& programPath);

// The whole entry that starts this program.
std::string autostartEntry(const std::string& programPath);

}  // namespace zelvo::linux_os
