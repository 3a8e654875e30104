// The user's home folder, as GLib finds it: $HOME when it is an absolute path, otherwise the
// password database's (a program started without HOME must not write under /).
#pragma once

#include <string>

namespace zelvo::linux_os {

// Empty when neither gives one.
std::string homeFolder();

}  // namespace zelvo::linux_os
