// What a waiting launcher's loop serves besides its timer and the end signals: logind's session
// end, the quiet stop. Each is given by the program's main, so that a launcher that needs none
// carries none of their code.
#pragma once

#include <systemd/sd-event.h>

namespace zelvo {
struct FormDesign;
}

namespace zelvo::linux_os {

class LinuxForm;

class LoopSource {
 public:
  virtual ~LoopSource() = default;
  // Starts serving on the loop, once the load handler has run, when the design asks for it.
  virtual void attach(sd_event* loop, const FormDesign& design, LinuxForm& form) = 0;
};

}  // namespace zelvo::linux_os
