// Process descriptors (pidfd_open, pidfd_send_signal). The <sys/pidfd.h> of glibc 2.36, Debian
// 12's, lacks the C linkage markers every other glibc header has, so C++ would look for mangled
// names; its own includes come first so that only its declarations are wrapped.
#pragma once

#include <fcntl.h>
#include <signal.h>

extern "C" {
#include <sys/pidfd.h>
}
