#include "services/linux/drive_call.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>


#include "services/linux/linux_process.h"
#include "services/linux/pidfd.h"
#include "services/linux/unique_any.h"

namespace zelvo::linux_os {
namespace {

using Clock = std::chrono::steady_clock;

// How long a killed child has to go before it is left to whoever inherits it.
constexpr int kKilledGraceMs = 500;

// Closes every descriptor above the standard three but `kept`.
void closeAllBut(int kept) {
  if (kept > STDERR_FILENO + 1) ::close_range(STDERR_FILENO + 1, kept - 1, 0);
  ::close_range(kept + 1, ~0U, 0);
}

}  // namespace

std::optional<int> callWithin(std::chrono::milliseconds deadline, Inherited inherited,
                              int (*call)(const void* context), const void* context) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  UniqueFd answer(ends[0]), writer(ends[1]);
  const Clock::time_point due = Clock::now() + deadline;
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (inherited == Inherited::Closed) closeAllBut(writer.get());
    const int result = call(context);
    [[maybe_unused]] const ssize_t written = ::write(writer.get(), &result, sizeof result);
    ::_exit(0);
  }
  writer.reset();
  const UniqueFd process(::pidfd_open(child, 0));
  int result = 0;
  const bool answered = readableBefore(answer.get(), due) &&
                        ::read(answer.get(), &result, sizeof result) == sizeof result;
  if (!answered) {
    ::kill(child, SIGKILL);
    if (process)
      readableBefore(process.get(), Clock::now() + std::chrono::milliseconds(kKilledGraceMs));
  }
  // A child that has gone is reaped; one still held by the kernel is not waited for.
  ::waitpid(child, nullptr, answered ? 0 : WNOHANG);
  return answered ? std::optional<int>(result) : std::nullopt;
}

}  // namespace zelvo::linux_os
