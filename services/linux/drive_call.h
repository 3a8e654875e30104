// A call to an optical drive that may never return. A failing drive, or the kernel's error
// recovery for it, can hold an open or an ioctl for minutes (an open waits for the drive's lock
// while a stuck command holds it), and nothing cancels such a call; so it is made in a child
// process, which the program gives up at the deadline, killing it, and goes on without. A
// child the kernel still holds dies as soon as the kernel lets go of it, before it runs another
// instruction of ours.
//
// Two kinds of child, for two kinds of caller:
// - A launcher tests all its drives at once and goes on with its own work (the event loop, the
//   bus, starting traypop) while they answer: each test runs in a forked child with its own
//   copy of memory, which cannot race the program for anything, closes every descriptor it
//   inherited, and ends with the program.
// - traypop does nothing else while its drive answers: its calls run in a child that shares
//   its memory and descriptor table (a clone with a small stack of its own, without the cost of
//   copying the process), as if the program made the call itself, only with a deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>

#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

using Clock = std::chrono::steady_clock;

// A call's result: a count or status, or minus an errno.
using DriveCallFunction = int (*)(const void* context);

void killAndReap(pid_t child);
// A child process of ours: killed, when it still runs, and reaped once it has gone.
using UniqueChild = UniqueAny<pid_t, killAndReap, 0>;

// One call started in a forked child; its result is collected later. Started calls run side by
// side.
class ForkedCall {
 public:
  // Starts call(context) in a child that first closes every descriptor it inherited but the
  // standard three (none of them, a lock or an inhibitor, may outlive us in a child that hangs)
  // and is killed when the program ends. A call that cannot be started gives no result.
  ForkedCall(DriveCallFunction call, const void* context);

  // The call's result once it has given one, waiting for it until `due` at most; none when it
  // gave none by then (the child is killed then, and the call gives none from then on).
  std::optional<int> resultBy(Clock::time_point due);

 private:
  UniqueChild child_;
  UniqueFd answer_;
  std::optional<int> result_;
};

// Makes call(context) in a child that shares the program's memory and descriptors (a
// descriptor it opens is ours) and waits for it until the deadline; none when it gave no result
// by then. The child runs with every signal blocked, on a stack of its own, with its own copy
// of the `size` bytes of context, none of which is ever released while it may still run.
std::optional<int> callWithin(std::chrono::milliseconds deadline, DriveCallFunction call,
                              const void* context, std::size_t size);

}  // namespace zelvo::linux_os
