// Keeps the system's critical-error boxes ("There is no disk in the drive") away for the
// length of one drive access, on this thread only: an empty drive must simply fail.
#pragma once

#include <windows.h>

namespace zelvo::win32 {

class NoCriticalErrorBoxes {
 public:
  NoCriticalErrorBoxes() {
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_);
  }
  ~NoCriticalErrorBoxes() { ::SetThreadErrorMode(previous_, nullptr); }
  NoCriticalErrorBoxes(const NoCriticalErrorBoxes&) = delete;
  NoCriticalErrorBoxes& operator=(const NoCriticalErrorBoxes&) = delete;

 private:
  DWORD previous_ = 0;
};

}  // namespace zelvo::win32
