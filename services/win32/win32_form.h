// The program's one window on Win32: hidden for the launchers, a small fixed dialog-like window
// for the configurator. Built from a FormDesign; events go to the program's FormHandlers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "services/form_design.h"
#include "services/process.h"
#include "services/win32/unique_any.h"
#include "services/window.h"

namespace zelvo::win32 {

// The registered message that a waiting traywatch takes as its quiet stop.
inline constexpr wchar_t kQuietStopMessage[] = L"ZelvoCD.StopWatching";

class Win32Form final : public EventLoop, public MessageBoxes, public Window {
 public:
  explicit Win32Form(Process& process) : process_(process) {}
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;
  ~Win32Form() override;

  // Creates the window, runs the load handler, shows the window when designed visible, and
  // dispatches events until the window is gone. Returns the exit code.
  int run(const FormDesign& design, FormHandlers& handlers);

  void processPendingEvents() override;
  void messageBox(const std::wstring& text, unsigned style,
                  const std::optional<std::wstring>& title) override;
  int checkState(int controlId) override;
  void setCheckState(int controlId, int state) override;
  void openInBrowser(const std::wstring& address) override;

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  bool create();
  void createControls();
  void layout(UINT dpi);
  void onCommand(WPARAM wParam);
  void onClose();
  void onEndSession(bool ending);
  void onDpiChanged(UINT dpi, const RECT& suggested);
  void dispatch(MSG& message);
  int pixels(int twips) const { return ::MulDiv(twips, static_cast<int>(dpi_), 1440); }

  Process& process_;
  const FormDesign* design_ = nullptr;
  FormHandlers* handlers_ = nullptr;
  HWND window_ = nullptr;
  UINT quietStop_ = 0;  // the quiet stop's message number, 0 when the window takes none
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UniqueGdiObject font_;
  std::vector<HWND> controls_;  // in the order of design_->controls
};

}  // namespace zelvo::win32
