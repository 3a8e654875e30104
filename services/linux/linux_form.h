// A launcher's hidden window on Linux: no window at all, but the same life as the Windows one.
// Built from a FormDesign and its FormHandlers: the load handler runs first, then an sd-event
// loop dispatches the timer's ticks; SIGTERM, SIGHUP and SIGINT (the session or the user closing
// the program) run the unload handler and end the program. The loop sources the program's main
// gives serve the rest (logind's session end, the quiet stop), in the order given. Message
// boxes are real dialogs shown by a small GTK helper beside the programs, so that no launcher
// links a GUI toolkit.
#pragma once

#include <systemd/sd-event.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "services/form_design.h"
#include "services/linux/linux_process.h"
#include "services/linux/loop_source.h"
#include "services/linux/unique_any.h"
#include "services/window.h"

namespace zelvo::linux_os {

// The message-box helper, beside the programs: `komunikat STYLE TITLE TEXT` shows the box and
// ends with status 0 once the user has dismissed it.
inline constexpr wchar_t kMessageBoxProgram[] = L"komunikat";

class LinuxForm final : public EventLoop, public MessageBoxes {
 public:
  explicit LinuxForm(LinuxProcess& process, std::initializer_list<LoopSource*> sources = {})
      : process_(process), sources_(sources) {}
  LinuxForm(const LinuxForm&) = delete;
  LinuxForm& operator=(const LinuxForm&) = delete;

  // Runs the load handler, then dispatches events until the program ends. Returns an exit code
  // only when the loop itself fails.
  int run(const FormDesign& design, FormHandlers& handlers);

  void processPendingEvents() override;
  // Modal: the helper is started and waited for, however long the user takes. Without a
  // display, or when the helper cannot show the box, the text goes to standard error and to
  // the journal instead, and the program goes on.
  void messageBox(const std::wstring& text, unsigned style,
                  const std::optional<std::wstring>& title) override;

  LinuxProcess& process() { return process_; }
  // Runs the unload handler, then ends the program.
  [[noreturn]] void unloadAndEnd();

 private:
  static int onTimer(sd_event_source* source, uint64_t dueUsec, void* form);
  static int onEndSignal(sd_event_source* source, const struct signalfd_siginfo* info, void* form);
  static int onChildEnded(sd_event_source* source, const struct signalfd_siginfo* info, void* form);

  // Whether the helper showed the box and the user dismissed it.
  bool showInHelper(const std::wstring& text, unsigned style, const std::wstring& title);

  LinuxProcess& process_;
  std::vector<LoopSource*> sources_;
  const FormDesign* design_ = nullptr;
  FormHandlers* handlers_ = nullptr;
};

}  // namespace zelvo::linux_os
