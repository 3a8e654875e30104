// A window timer: an interval, an enabled flag, a text tag the program may use as it likes, and
// the tick handler. The platform calls tick() each time the interval runs out.
#pragma once

#include <functional>
#include <string>
#include <utility>

namespace zelvo {

class TimerControl {
 public:
  TimerControl(unsigned intervalMs, std::wstring tag)
      : intervalMs_(intervalMs), tag_(std::move(tag)) {}
  TimerControl(const TimerControl&) = delete;
  TimerControl& operator=(const TimerControl&) = delete;

  unsigned interval() const { return intervalMs_; }
  bool enabled() const { return enabled_; }
  const std::wstring& tag() const { return tag_; }
  void setTag(std::wstring tag) { tag_ = std::move(tag); }
  void onTick(std::function<void()> handler) { handler_ = std::move(handler); }

  // Runs the tick handler. A tick that falls due while the handler still runs (when it lets
  // pending events run, or while it shows a modal box) is dropped rather than nested, so a
  // handler never runs inside itself. Returns whether the handler ran.
  bool tick() {
    if (running_ || !enabled_ || !handler_) return false;
    struct Running {
      bool& flag;
      explicit Running(bool& f) : flag(f) { flag = true; }
      ~Running() { flag = false; }
    } running(running_);
    handler_();
    return true;
  }

 private:
  unsigned intervalMs_;
  bool enabled_ = true;
  bool running_ = false;
  std::wstring tag_;
  std::function<void()> handler_;
};

}  // namespace zelvo
