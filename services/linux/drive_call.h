// A call to an optical drive that may never return. A failing drive, or the kernel's error
// recovery for it, can hold an open or an ioctl for minutes, and nothing cancels it; so the
// call is made in a child process, which the program gives up at the deadline and goes on with
// the other drives. The child is killed then and reaped once it has gone: at once when it
// waited in a way a signal ends, otherwise when the kernel lets go of it (by this program, or
// after it has ended by whoever inherits the child).
#pragma once

#include <chrono>
#include <optional>

namespace zelvo::linux_os {

enum class Inherited { Kept, Closed };

// Runs call(context) in a child and gives its result (a count or status, or minus an errno),
// or none when it gave none by the deadline. With Inherited::Closed the child first closes
// every descriptor it inherited but the standard three (none of them, a lock or an inhibitor,
// may outlive us in a child that hangs); with Inherited::Kept it works on ours, which a call on
// the one open device of a drive needs (a second open would make the drive refuse to eject).
std::optional<int> callWithin(std::chrono::milliseconds deadline, Inherited inherited,
                              int (*call)(const void* context), const void* context);

}  // namespace zelvo::linux_os
