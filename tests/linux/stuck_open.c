/* For the tests, preloaded before umockdev's library: an open of the device node that
   ZELVO_STUCK_NODE names does not return for 20 s, as when a stuck command holds the drive's
   lock. Every other open goes on to the next library's. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(arguments, mode_t) : 0;
  va_end(arguments);
  const char* stuck = getenv("ZELVO_STUCK_NODE");
  if (stuck && strcmp(path, stuck) == 0) {
    struct timespec left = {20, 0};
    while (nanosleep(&left, &left) != 0) {
    }
  }
  int (*next)(const char*, int, ...) = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
  return next(path, flags, mode);
}
