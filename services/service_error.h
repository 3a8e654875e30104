// How a service says that it could not do what was asked, and how the fake platform says that
// the program has ended.
#pragma once

namespace zelvo {

// Raised by a service that could not do what was asked; carries the platform's error code.
// Routines with an error trap catch it; where none does, the program ends quietly.
class ServiceError {
 public:
  explicit ServiceError(unsigned long code) noexcept : code_(code) {}
  unsigned long code() const noexcept { return code_; }

 private:
  unsigned long code_;
};

// Thrown only by the fake platform to model "the process ends here". Error traps catch
// ServiceError alone, so none of them can swallow the end of the program.
struct ProgramEnded {};

}  // namespace zelvo
