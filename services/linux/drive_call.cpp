#include "services/linux/drive_call.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <new>

#include "services/linux/linux_process.h"

namespace zelvo::linux_os {
namespace {

// Closes every descriptor above the standard three but `kept`.
void closeAllBut(int kept) {
  if (kept > STDERR_FILENO + 1) ::close_range(STDERR_FILENO + 1, kept - 1, 0);
  ::close_range(kept + 1, ~0U, 0);
}

// What a child that shares our memory runs on. It lies right above the child's stack, with the
// copy of the context after it; below the stack, a page no one may touch stops a stack that
// outgrows its room.
struct alignas(16) SharedCall {
  // The child's id, written by the kernel before the child runs (CLONE_PARENT_SETTID) and
  // cleared, with a wake of its waiters, once the child has let go of our memory on its way out
  // (CLONE_CHILD_CLEARTID), as for a thread.
  pid_t child;
  // Set once the call has returned: a child ended by a signal gives no result.
  bool returned;
  int result;
  DriveCallFunction call;
};

// The open and the ioctls of a drive, and what a library that wraps them (as the test bed's
// does) may use on top: little, but not a few hundred bytes.
constexpr std::size_t kStackBytes = 64 * 1024;

int runSharedCall(void* data) {
  auto* shared = static_cast<SharedCall*>(data);
  shared->result = shared->call(shared + 1);
  shared->returned = true;
  return 0;
}

// Waits until the kernel has cleared the child's word (the child has ended) or `due` passes.
bool endedBy(pid_t& word, Clock::time_point due) {
  const std::atomic_ref<pid_t> child(word);
  for (pid_t seen; (seen = child.load(std::memory_order_acquire)) != 0;) {
    const Clock::duration left = due - Clock::now();
    if (left <= Clock::duration::zero()) return false;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const timespec timeout{
        static_cast<time_t>(seconds.count()),
        static_cast<long>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count())};
    // A shared futex: the kernel's wake at a child's end is one.
    ::syscall(SYS_futex, &word, FUTEX_WAIT, seen, &timeout, nullptr, 0);
  }
  return true;
}

}  // namespace

void killAndReap(pid_t child) {
  ::kill(child, SIGKILL);
  // Gone at once when it waited in a way a signal ends; otherwise reaped with the program, by
  // whoever inherits it.
  ::waitpid(child, nullptr, WNOHANG);
}

ForkedCall::ForkedCall(DriveCallFunction call, const void* context) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return;
  answer_.reset(ends[0]);
  const UniqueFd writer(ends[1]);
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child < 0) {
    answer_.reset();
    return;
  }
  if (child == 0) {
    // A test left running when the program ends (traywatch ends once the first drive with a
    // disc has answered) ends with it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(0);
    closeAllBut(writer.get());
    const int result = call(context);
    [[maybe_unused]] const ssize_t written = ::write(writer.get(), &result, sizeof result);
    ::_exit(0);
  }
  child_.reset(child);
}

std::optional<int> ForkedCall::resultBy(Clock::time_point due) {
  if (!answer_) return result_;
  int result = 0;
  if (readableBefore(answer_.get(), due) &&
      ::read(answer_.get(), &result, sizeof result) == sizeof result) {
    result_ = result;
    ::waitpid(child_.release(), nullptr, 0);  // it ends right after its answer
  }
  child_.reset();
  answer_.reset();
  return result_;
}

std::optional<int> callWithin(std::chrono::milliseconds deadline, DriveCallFunction call,
                              const void* context, std::size_t size) {
  const Clock::time_point due = Clock::now() + deadline;
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t length =
      (page + kStackBytes + sizeof(SharedCall) + size + page - 1) / page * page;
  void* const area = ::mmap(nullptr, length, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (area == MAP_FAILED) return std::nullopt;
  auto* const bytes = static_cast<std::byte*>(area);
  auto* const shared = new (bytes + page + kStackBytes) SharedCall{0, false, 0, call};
  std::memcpy(shared + 1, context, size);
  if (::mprotect(area, page, PROT_NONE) != 0) {
    ::munmap(area, length);
    return std::nullopt;
  }
  // Blocked in the child for good: it has no handler of its own, and ours, which share its
  // memory, must never run in it. SIGKILL still ends it.
  sigset_t all, ours;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &ours);
  const pid_t child =
      ::clone(&runSharedCall, shared,
              CLONE_VM | CLONE_FILES | CLONE_PARENT_SETTID | CLONE_CHILD_CLEARTID | SIGCHLD, shared,
              &shared->child, nullptr, &shared->child);
  ::pthread_sigmask(SIG_SETMASK, &ours, nullptr);
  if (child < 0) {
    ::munmap(area, length);
    return std::nullopt;
  }
  if (!endedBy(shared->child, due)) {
    // Given up. The kernel may still hold it, and on its way out it clears its word in the
    // area: the area stays for the rest of the program, and the child is left to whoever
    // inherits it.
    ::kill(child, SIGKILL);
    return std::nullopt;
  }
  const std::optional<int> result =
      shared->returned ? std::optional<int>(shared->result) : std::nullopt;
  ::waitpid(child, nullptr, 0);  // gone already: only its exit status is left
  ::munmap(area, length);
  return result;
}

}  // namespace zelvo::linux_os
