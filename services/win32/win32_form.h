// The program's one window on Win32: hidden for the launchers, a small fixed dialog-like window
// for the configurator. Built from a FormDesign; events go to the program's FormHandlers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "services/form_design.h"
#include "services/win32/win32_services.h"

namespace zelvo::win32 {

class Win32Form final : public WindowHost {
 public:
  Win32Form(Win32Services& services, const FormDesign& design, FormHandlers& handlers);
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;
  ~Win32Form() override;

  // Creates the window, runs the load handler, shows the window when designed visible, and
  // dispatches events until the window is gone. Returns the exit code.
  int run();

  HWND handle() const override { return window_; }
  bool visible() const override { return design_.visible; }
  const std::wstring& programTitle() const override { return design_.programTitle; }
  void processPendingEvents() override;
  int driveCount() const override { return static_cast<int>(drives_.size()); }
  std::wstring driveEntry(int index) const override;
  int checkState(int controlId) const override;
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

  Win32Services& services_;
  const FormDesign& design_;
  FormHandlers& handlers_;
  HWND window_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UniqueGdiObject font_;
  std::vector<std::wstring> drives_;
  std::vector<HWND> controls_;  // in the order of design_.controls
};

// The drive list as the drive list control shows it, read from the system now.
std::vector<std::wstring> readDriveList();

}  // namespace zelvo::win32
