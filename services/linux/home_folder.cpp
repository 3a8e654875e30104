#include "services/linux/home_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace zelvo::linux_os {

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 4096);
  passwd entry{};
  passwd* found = nullptr;
  int error = 0;
  // The suggestion is only a hint: a longer record asks for more room, up to a sane bound.
  while ((error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found)) ==
             ERANGE &&
         buffer.size() < 1024 * 1024) {
    buffer.resize(buffer.size() * 2);
  }
  if (error != 0 || !found || !found->pw_dir || found->pw_dir[0] != '/') return {};
  return found->pw_dir;
}

}  // namespace zelvo::linux_os
