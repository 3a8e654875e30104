// GNU libstdc++ only. Its default handlers for a fault of the standard library itself (an
// impossible string length, a bad index, an uncaught exception) build descriptive exception
// objects and demangled messages, which statically links the narrow string, formatting and
// demangling code into every program and makes traypop four times its size. These programs
// never trap such faults; where nothing traps an error they end quietly anyway, so here the
// process simply ends.
#include <windows.h>

#include <cstddef>  // defines __GLIBCXX__ where libstdc++ is the library

#if defined(__GLIBCXX__)

namespace {
[[noreturn]] void endQuietly() {
  ::ExitProcess(3);
}
}  // namespace

namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() {
  endQuietly();
}
}  // namespace __gnu_cxx

namespace std {
[[noreturn]] void __throw_length_error(const char*) {
  endQuietly();
}
[[noreturn]] void __throw_logic_error(const char*) {
  endQuietly();
}
[[noreturn]] void __throw_out_of_range(const char*) {
  endQuietly();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) {
  endQuietly();
}
[[noreturn]] void __throw_invalid_argument(const char*) {
  endQuietly();
}
[[noreturn]] void __throw_bad_alloc() {
  endQuietly();
}
[[noreturn]] void __throw_bad_array_new_length() {
  endQuietly();
}
[[noreturn]] void __throw_bad_function_call() {
  endQuietly();
}
}  // namespace std

#endif
