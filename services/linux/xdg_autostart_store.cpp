#include "services/linux/xdg_autostart_store.h"

#include <fcntl.h>
#include <gio/gdesktopappinfo.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "services/linux/home_folder.h"
#include "services/linux/unique_any.h"
#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

using UniqueKeyFile = UniqueAny<GKeyFile*, g_key_file_unref>;
using UniqueText = UniqueAny<char*, g_free>;
using UniqueArgv = UniqueAny<char**, g_strfreev>;
using UniqueAppInfo = UniqueAny<GDesktopAppInfo*, g_object_unref>;
using UniqueMalloc = UniqueAny<char*, ::free>;

constexpr char kGroup[] = G_KEY_FILE_DESKTOP_GROUP;
constexpr char kGnomeEnabled[] = "X-GNOME-Autostart-enabled";
// Every line comes back when the entry is written: comments and all translations too.
constexpr auto kKeepAll =
    static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);

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

enum class Found { Nothing, Unreadable, Entry };

struct Entry {
  Found found = Found::Nothing;
  UniqueKeyFile keys;  // set for Found::Entry
};

// The entry at this path as GLib loads it. The bytes are read here: without O_NONBLOCK, opening
// a FIFO waits for a writer, and GLib's own loading opens it so.
Entry loadEntry(const std::filesystem::path& path) {
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file) return {errno == ENOENT || errno == ENOTDIR ? Found::Nothing : Found::Unreadable, {}};
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<unsigned long long>(status.st_size) > kEntrySizeLimit) {
    return {Found::Unreadable, {}};
  }
  // One byte beyond the limit tells a file that grew since it was measured.
  std::string text(kEntrySizeLimit + 1, '\0');
  size_t filled = 0;
  while (filled < text.size()) {
    const ssize_t n = ::read(file.get(), text.data() + filled, text.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {Found::Unreadable, {}};
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  if (filled > kEntrySizeLimit) return {Found::Unreadable, {}};
  UniqueKeyFile keys(g_key_file_new());
  if (!g_key_file_load_from_data(keys.get(), text.data(), filled, kKeepAll, nullptr)) {
    return {Found::Unreadable, {}};
  }
  return {Found::Entry, std::move(keys)};
}

// Whether a session started with GLib runs the entry at logon: GLib's desktop-entry code takes
// it (an application whose TryExec and Exec programs are there), it is not Hidden, and
// X-GNOME-Autostart-enabled, when given, reads true, as GNOME's session asks.
bool startsAtLogon(const Entry& entry) {
  if (entry.found != Found::Entry) return false;
  UniqueAppInfo info(g_desktop_app_info_new_from_keyfile(entry.keys.get()));
  return info && !g_desktop_app_info_get_is_hidden(info.get()) &&
         (!g_desktop_app_info_has_key(info.get(), kGnomeEnabled) ||
          g_desktop_app_info_get_boolean(info.get(), kGnomeEnabled));
}

std::string canonicalPath(const char* path) {
  UniqueMalloc resolved(path ? ::realpath(path, nullptr) : nullptr);
  return resolved ? resolved.get() : "";
}

// Whether the entry's command line is this program alone (a bare name found through PATH, links
// followed, as the desktops would start it).
bool runsProgram(const Entry& entry, const std::string& programPath) {
  UniqueText exec(g_key_file_get_string(entry.keys.get(), kGroup, "Exec", nullptr));
  UniqueArgv argv;
  int argc = 0;
  if (!exec || !g_shell_parse_argv(exec.get(), &argc, argv.put(), nullptr) || argc != 1) {
    return false;
  }
  UniqueText found(g_find_program_in_path(argv.get()[0]));
  const std::string program = canonicalPath(found.get());
  return !program.empty() && program == canonicalPath(programPath.c_str());
}

// Sets the key in the entry's group to one line with this value, or to none. Of a key given more
// than once GLib reads the last line and systemd's generator a text key's first, and GKeyFile
// itself changes or removes only the last: the text is loaded anew after each removal, until no
// line of the key is left.
void setOnce(GKeyFile* keys, const char* key, const char* value) {
  while (g_key_file_remove_key(keys, kGroup, key, nullptr)) {
    gsize length = 0;
    UniqueText text(g_key_file_to_data(keys, &length, nullptr));
    g_key_file_load_from_data(keys, text.get(), length, kKeepAll, nullptr);
  }
  if (value) g_key_file_set_string(keys, kGroup, key, value);
}

// The keys the suite owns, in the order of an entry it writes anew.
void setOwnKeys(GKeyFile* keys, const std::string& programPath) {
  const std::string program = std::filesystem::path(programPath).filename();
  std::string name = "Zelvo CD – " + program;
  std::string comment = "Program pakietu Zelvo CD uruchamiany przy logowaniu";
  for (const ProgramDescription& description : kDescriptions) {
    if (program == description.program) {
      name = description.name;
      comment = description.comment;
    }
  }
  setOnce(keys, "Hidden", nullptr);
  setOnce(keys, "Type", "Application");
  setOnce(keys, "Name", name.c_str());
  setOnce(keys, "Comment", comment.c_str());
  setOnce(keys, "Exec", execValue(programPath).c_str());
  // Once the program is gone (the package removed, the folder deleted), desktops skip the entry
  // instead of failing to start it at every logon.
  setOnce(keys, "TryExec", programPath.c_str());
  setOnce(keys, "NoDisplay", "true");
  setOnce(keys, kGnomeEnabled, "true");
}

// Written whole to a temporary file beside the entry, readable by the user alone, then renamed
// over it: a failure leaves no half-written entry behind. The folder, and those above it that
// are missing, are made private to the user, as the XDG rules ask of the folders they name.
bool writeEntry(const std::filesystem::path& path, GKeyFile* keys) {
  if (g_mkdir_with_parents(path.parent_path().c_str(), 0700) != 0) return false;
  gsize length = 0;
  UniqueText text(g_key_file_to_data(keys, &length, nullptr));
  return g_file_set_contents_full(path.c_str(), text.get(), static_cast<gssize>(length),
                                  G_FILE_SET_CONTENTS_CONSISTENT, 0600, nullptr);
}

bool deleteEntry(const std::filesystem::path& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string fileName(const std::wstring& name) {
  return toBytes(name) + ".desktop";
}

// The administrator's entry of this name: the first the system's folders hold.
Entry systemEntry(const std::vector<std::filesystem::path>& folders, const std::wstring& name) {
  for (const std::filesystem::path& folder : folders) {
    Entry entry = loadEntry(folder / fileName(name));
    if (entry.found != Found::Nothing) return entry;
  }
  return {};
}

}  // namespace

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
  return value;
}

std::filesystem::path autostartFolder() {
  // Only absolute paths count; a relative one is to be ignored.
  const char* configured = std::getenv("XDG_CONFIG_HOME");
  if (isAbsolute(configured)) return std::filesystem::path(configured) / "autostart";
  const std::filesystem::path home = homeFolder();
  return home.empty() ? home : home / ".config" / "autostart";
}

std::vector<std::filesystem::path> systemAutostartFolders() {
  std::vector<std::filesystem::path> folders;
  for (const char* const* folder = g_get_system_config_dirs(); *folder; ++folder) {
    if (isAbsolute(*folder)) folders.push_back(std::filesystem::path(*folder) / "autostart");
  }
  return folders;
}

StartupEntry XdgAutostartStore::readEntry(const std::wstring& name) {
  Entry entry;
  if (!folder_.empty()) {
    const std::filesystem::path path = folder_ / fileName(name);
    entry = loadEntry(path);
    if (entry.found == Found::Unreadable) return {{}, fromBytes(path.native())};
  }
  if (entry.found == Found::Nothing) entry = systemEntry(systemFolders_, name);
  if (!startsAtLogon(entry)) return {};
  UniqueText exec(g_key_file_get_string(entry.keys.get(), kGroup, "Exec", nullptr));
  return {exec ? fromBytes(exec.get()) : L"", std::nullopt};
}

bool XdgAutostartStore::addEntry(const std::wstring& name, const std::wstring& programPath) {
  if (folder_.empty()) return false;
  const std::filesystem::path path = folder_ / fileName(name);
  const std::string program = toBytes(programPath);
  Entry own = loadEntry(path);
  if (own.found == Found::Unreadable) return false;
  const Entry system = systemEntry(systemFolders_, name);
  if (!startsAtLogon(own) && startsAtLogon(system) && runsProgram(system, program)) {
    return deleteEntry(path);
  }
  if (own.found == Found::Nothing) own.keys.reset(g_key_file_new());
  setOwnKeys(own.keys.get(), program);
  return writeEntry(path, own.keys.get());
}

bool XdgAutostartStore::removeEntry(const std::wstring& name) {
  // Without a home folder no entry can be found, nor said to be gone.
  if (folder_.empty()) return false;
  const std::filesystem::path path = folder_ / fileName(name);
  Entry own = loadEntry(path);
  if (own.found == Found::Unreadable) return false;
  if (own.found == Found::Entry && !startsAtLogon(own)) return true;
  Entry system = systemEntry(systemFolders_, name);
  if (!startsAtLogon(system)) return deleteEntry(path);
  Entry& hiding = own.found == Found::Entry ? own : system;
  setOnce(hiding.keys.get(), "Hidden", "true");
  return writeEntry(path, hiding.keys.get());
}

}  // namespace zelvo::linux_os
