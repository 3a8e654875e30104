// The program's window as its handlers see it: the event loop, the settings window's controls,
// and message boxes.
#pragma once

#include <optional>
#include <string>

namespace zelvo {

// Message box styles the programs use (the platform's MB_ICONEXCLAMATION and MB_ICONINFORMATION,
// each with a single OK button).
inline constexpr unsigned kStyleExclamation = 48;
inline constexpr unsigned kStyleInformation = 64;

class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Dispatches the events that wait, then returns.
  virtual void processPendingEvents() = 0;
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Modal: returns when the user has dismissed it. Without a title it shows the program's title.
  virtual void messageBox(const std::wstring& text, unsigned style,
                          const std::optional<std::wstring>& title = std::nullopt) = 0;
};

class Window {
 public:
  virtual ~Window() = default;
  // Check box state, 0 or 1, of the window's control with this id.
  virtual int checkState(int controlId) = 0;
  virtual void setCheckState(int controlId, int state) = 0;
  // Opens an address (or a local page by its path) in the user's default browser, without
  // waiting for it; whatever happens is not reported.
  virtual void openInBrowser(const std::wstring& address) = 0;
};

}  // namespace zelvo
