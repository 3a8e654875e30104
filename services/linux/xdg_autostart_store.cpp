#include "services/linux/xdg_autostart_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "services/linux/home_folder.h"
#include "services/linux/unique_any.h"
#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

struct ProgramDescription {
  const char* program;
  const char* name;
  const char* comment;
};

// Shown by the desktops' start-up settings, which list these entries.
constexpr ProgramDescription kDescriptions[] = {
    {"trayflush", "Zelvo CD – wysuwanie tacek po zalogowaniu",
     "Wysuwa tacki napędów CD, w których jest płyta, zaraz po zalogowaniu"},
    {"traywatch", "Zelvo CD – wysuwanie tacki przy zamykaniu systemu",
     "Czeka niewidocznie i wysuwa tackę napędu CD z płytą przy wylogowaniu lub zamykaniu systemu"},
};

bool isAbsolute(const char* path) {
  return path && path[0] == '/';
}

// A boolean value as GLib's key files read it.
bool isTrue(const std::string& value) {
  return value == "true" || value == "1";
}
bool isFalse(const std::string& value) {
  return value == "false" || value == "0";
}

// A string value as the file holds it: only the escapes the format knows are undone.
std::string unescapeString(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (const char next = value[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        out += next;
        break;
    }
  }
  return out;
}

// The Exec value of an entry's text, unescaped; empty when it has none or is switched off.
std::string enabledExec(std::string_view entry) {
  std::string exec;
  bool inEntry = false, switchedOff = false;
  while (!entry.empty()) {
    const size_t end = std::min(entry.find('\n'), entry.size());
    std::string line(entry.substr(0, end));
    entry.remove_prefix(std::min(end + 1, entry.size()));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with('[')) {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = line.substr(0, equals);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    size_t valueStart = equals + 1;
    while (valueStart < line.size() && line[valueStart] == ' ') ++valueStart;
    const std::string value = line.substr(valueStart);
    if (key == "Exec") exec = unescapeString(value);
    if (key == "Hidden" && isTrue(value)) switchedOff = true;
    if (key == "X-GNOME-Autostart-enabled" && isFalse(value)) switchedOff = true;
  }
  return switchedOff ? std::string() : exec;
}

// Makes the folder and those above it that are missing, private to the user as GLib makes
// them (the XDG rules ask it of the folders they name); true when the folder is there.
bool makePrivateFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

bool writeAll(int fd, const std::string& data) {
  size_t written = 0;
  while (written < data.size()) {
    const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string fileValue(const std::string& path) {
  std::string escaped;
  for (const char c : path) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string execValue(const std::string& programPath) {
  constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string value;
  const bool quoted = programPath.find_first_of(reserved) != std::string::npos;
  if (quoted) value += '"';
  for (const char c : programPath) {
    if (c == '%') {
      value += "%%";  // a lone % would start a field code
    } else if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\')) {
      value += '\\';
      value += c;
    } else {
      value += c;
    }
  }
  if (quoted) value += '"';
  // The file's own string escaping comes on top of the quoting rules.
  return fileValue(value);
}

std::string autostartEntry(const std::string& programPath) {
  const std::string program = std::filesystem::path(programPath).filename();
  std::string name = "Zelvo CD – " + program;
  std::string comment = "Program pakietu Zelvo CD uruchamiany przy logowaniu";
  for (const ProgramDescription& description : kDescriptions) {
    if (program == description.program) {
      name = description.name;
      comment = description.comment;
    }
  }
  std::string entry = "[Desktop Entry]\nType=Application\n";
  entry += "Name=" + name + "\n";
  entry += "Comment=" + comment + "\n";
  entry += "Exec=" + execValue(programPath) + "\n";
  // Once the program is gone (the package removed, the folder deleted), desktops skip the entry
  // instead of failing to start it at every logon.
  entry += "TryExec=" + fileValue(programPath) + "\n";
  entry += "NoDisplay=true\nX-GNOME-Autostart-enabled=true\n";
  return entry;
}

std::filesystem::path autostartFolder() {
  // Only absolute paths count; a relative one is to be ignored.
  const char* configured = std::getenv("XDG_CONFIG_HOME");
  if (isAbsolute(configured)) return std::filesystem::path(configured) / "autostart";
  const std::filesystem::path home = homeFolder();
  return home.empty() ? home : home / ".config" / "autostart";
}

std::filesystem::path XdgAutostartStore::entryPath(const std::wstring& name) const {
  return folder_ / (toBytes(name) + ".desktop");
}

StartupEntry XdgAutostartStore::readEntry(const std::wstring& name) {
  if (folder_.empty()) return {};
  const std::filesystem::path path = entryPath(name);
  const StartupEntry unreadable{{}, fromBytes(path.native())};
  // Without O_NONBLOCK, opening a FIFO waits for a writer.
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file) return errno == ENOENT || errno == ENOTDIR ? StartupEntry{} : unreadable;
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<unsigned long long>(status.st_size) > kEntrySizeLimit) {
    return unreadable;
  }
  // One byte beyond the limit tells a file that grew since it was measured.
  std::string text(kEntrySizeLimit + 1, '\0');
  size_t filled = 0;
  while (filled < text.size()) {
    const ssize_t n = ::read(file.get(), text.data() + filled, text.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return unreadable;
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  if (filled > kEntrySizeLimit) return unreadable;
  text.resize(filled);
  return {fromBytes(enabledExec(text)), std::nullopt};
}

bool XdgAutostartStore::addEntry(const std::wstring& name, const std::wstring& programPath) {
  if (folder_.empty()) return false;
  if (!makePrivateFolders(folder_.native())) return false;
  const std::string target = entryPath(name).native();
  const size_t slash = target.rfind('/');
  std::string temporary = target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".XXXXXX";
  UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!file) return false;
  // Readable by the user alone, as mkostemp makes it: only the user's own session reads it.
  const bool written =
      writeAll(file.get(), autostartEntry(toBytes(programPath))) && ::fsync(file.get()) == 0;
  file.reset();
  if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool XdgAutostartStore::removeEntry(const std::wstring& name) {
  // Without a home folder no entry can be found, nor said to be gone.
  if (folder_.empty()) return false;
  return ::unlink(entryPath(name).c_str()) == 0 || errno == ENOENT;
}

}  // namespace zelvo::linux_os
