// The owners of the Linux resource kinds the programs hold: file descriptors here, library
// objects beside the code that uses them.
#pragma once

#include <unistd.h>

#include "services/unique_any.h"

namespace zelvo::linux_os {

// A failed close still releases the descriptor on Linux; there is nothing to retry.
inline void closeFd(int fd) {
  ::close(fd);
}

using UniqueFd = UniqueAny<int, closeFd, -1>;

}  // namespace zelvo::linux_os
