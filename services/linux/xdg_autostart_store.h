// The start-up store on Linux desktops: one XDG autostart entry per name, NAME.desktop in
// $XDG_CONFIG_HOME/autostart (~/.config/autostart), which every desktop reads at logon. Only the
// suite's own entries are ever read or touched.
#pragma once

#include <filesystem>
#include <string>

#include "services/startup_store.h"

namespace zelvo::linux_os {

class XdgAutostartStore final : public StartupStore {
 public:
  // The folder from the environment, as the XDG base directory rules give it.
  XdgAutostartStore();
  explicit XdgAutostartStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // The entry's Exec line; empty when there is no entry, it has no Exec, or it is Hidden.
  std::wstring entryText(const std::wstring& name) override;
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
