#include "services/linux/xdg_autostart_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

std::filesystem::path configHome() {
  const char* configured = std::getenv("XDG_CONFIG_HOME");
  // Only an absolute path counts; a relative one is to be ignored.
  if (configured && configured[0] == '/') return configured;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : "/") / ".config";
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

XdgAutostartStore::XdgAutostartStore() : folder_(configHome() / "autostart") {}

std::filesystem::path XdgAutostartStore::entryPath(const std::wstring& name) const {
  return folder_ / (toBytes(name) + ".desktop");
}

std::wstring XdgAutostartStore::entryText(const std::wstring& name) {
  std::ifstream file(entryPath(name));
  std::string line, exec;
  bool inEntry = false, hidden = false;
  while (std::getline(file, line)) {
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
    if (key == "Hidden") hidden = value == "true";
  }
  return hidden ? std::wstring() : fromBytes(exec);
}

bool XdgAutostartStore::addEntry(const std::wstring& name, const std::wstring& programPath) {
  std::error_code error;
  // A folder made here is private to the user, as the XDG rules ask.
  if (!std::filesystem::exists(folder_, error)) {
    std::filesystem::create_directories(folder_, error);
    if (error) return false;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, error);
  }
  const std::filesystem::path target = entryPath(name);
  std::string temporary = (folder_ / ("." + target.filename().string() + ".XXXXXX")).string();
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
  return ::unlink(entryPath(name).c_str()) == 0 || errno == ENOENT;
}

}  // namespace zelvo::linux_os
