#include "services/win32/win32_form.h"

#include <shellapi.h>

#include "services/text.h"
#include "services/timer_control.h"
#include "services/win32/win32_process.h"

namespace zelvo::win32 {
namespace {

constexpr UINT_PTR kTimerId = 1;

// Per-monitor DPI functions appeared in Windows 10; older systems get the system DPI.
UINT dpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32"), "GetDpiForWindow")));
  if (getDpiForWindow && window) {
    if (const UINT dpi = getDpiForWindow(window)) return dpi;
  }
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

RECT windowRectFor(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi) {
  RECT rect{0, 0, clientWidth, clientHeight};
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32"), "AdjustWindowRectExForDpi")));
  if (adjustForDpi) {
    adjustForDpi(&rect, style, FALSE, exStyle, dpi);
  } else {
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  }
  return rect;
}

HICON loadIcon(int resource, int size) {
  if (resource == 0) return nullptr;
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource),
                                         IMAGE_ICON, size, size, LR_SHARED));
}

}  // namespace

Win32Form::~Win32Form() = default;

int Win32Form::run(const FormDesign& design, FormHandlers& handlers) {
  design_ = &design;
  handlers_ = &handlers;
  if (design.acceptsQuietStop) quietStop_ = ::RegisterWindowMessageW(kQuietStopMessage);
  if (!create()) return 1;
  runGuarded(process_, [&] { handlers.load(); });
  if (design.timer && design.timer->enabled()) {
    ::SetTimer(window_, kTimerId, design.timer->interval(), nullptr);
  }
  if (design.visible) {
    ::ShowWindow(window_, SW_SHOWNORMAL);
    // As in a dialog, the keyboard starts at the first control that takes it.
    if (HWND first = ::GetNextDlgTabItem(window_, nullptr, FALSE)) ::SetFocus(first);
    ::UpdateWindow(window_);
  }
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) dispatch(message);
  return 0;
}

void Win32Form::dispatch(MSG& message) {
  if (design_->visible && ::IsDialogMessageW(window_, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

void Win32Form::processPendingEvents() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave it for the message loop that owns the program's life.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    dispatch(message);
  }
}

bool Win32Form::create() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Win32Form::windowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = loadIcon(design_->iconResource, ::GetSystemMetrics(SM_CXICON));
  windowClass.hIconSm = loadIcon(design_->iconResource, ::GetSystemMetrics(SM_CXSMICON));
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = design_->className.c_str();
  if (!::RegisterClassExW(&windowClass)) return false;

  // Fixed single border with the close box only. A hidden window is still a top-level window,
  // never a message-only one, so that it hears the session end; as a tool window it would
  // never get a taskbar button even if something showed it.
  const DWORD style = design_->visible ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU : WS_OVERLAPPED;
  const DWORD exStyle = design_->visible ? WS_EX_CONTROLPARENT : WS_EX_TOOLWINDOW;
  window_ = ::CreateWindowExW(exStyle, design_->className.c_str(), design_->caption.c_str(), style,
                              CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
  if (!window_) return false;
  if (design_->visible) {
    createControls();
    dpi_ = dpiOf(window_);
    layout(dpi_);
    // Centred on the work area of the screen it opens on.
    RECT frame;
    ::GetWindowRect(window_, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    ::SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

void Win32Form::createControls() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  for (const ControlDesign& control : design_->controls) {
    const wchar_t* windowClass = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE;
    switch (control.kind) {
      case ControlKind::Frame:
        style |= BS_GROUPBOX;
        break;
      case ControlKind::CheckBox:
        style |= BS_AUTOCHECKBOX | WS_TABSTOP;
        break;
      case ControlKind::Button:
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
      case ControlKind::Label:
        windowClass = L"STATIC";
        style |= SS_LEFT;  // wraps at the label's width
        break;
    }
    // Controls inside a frame are siblings of it on the window, placed within its bounds, so
    // that their notifications reach the window; creation order is the tab order.
    controls_.push_back(::CreateWindowExW(
        0, windowClass, control.caption.c_str(), style, 0, 0, 0, 0, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr));
  }
}

void Win32Form::layout(UINT dpi) {
  dpi_ = dpi;
  // The classic dialog font the layout was drawn for, 8 points at this DPI.
  LOGFONTW logFont{};
  logFont.lfHeight = -::MulDiv(8, static_cast<int>(dpi), 72);
  logFont.lfWeight = FW_NORMAL;
  logFont.lfCharSet = DEFAULT_CHARSET;
  logFont.lfQuality = CLEARTYPE_QUALITY;
  ::lstrcpynW(logFont.lfFaceName, L"MS Shell Dlg", LF_FACESIZE);
  font_.reset(::CreateFontIndirectW(&logFont));

  for (size_t i = 0; i < controls_.size(); ++i) {
    const ControlDesign& control = design_->controls[i];
    const WindowPlace place = placeOnWindow(*design_, control);
    ::SetWindowPos(controls_[i], nullptr, pixels(place.left), pixels(place.top),
                   pixels(control.width), pixels(control.height), SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  }
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_EXSTYLE));
  const RECT frame = windowRectFor(pixels(design_->clientWidth), pixels(design_->clientHeight),
                                   style, exStyle, dpi);
  ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::messageBox(const std::wstring& text, unsigned style,
                           const std::optional<std::wstring>& title) {
  const bool owned = window_ && design_ && design_->visible;
  const std::wstring caption = title ? *title : design_ ? design_->programTitle : std::wstring();
  // A box from a program without a visible window must still come to the front.
  const UINT flags = owned ? style : style | MB_SETFOREGROUND;
  ::MessageBoxW(owned ? window_ : nullptr, text.c_str(), caption.c_str(), flags);
}

int Win32Form::checkState(int controlId) {
  return ::IsDlgButtonChecked(window_, controlId) == BST_CHECKED ? 1 : 0;
}

void Win32Form::setCheckState(int controlId, int state) {
  ::CheckDlgButton(window_, controlId, state == 1 ? BST_CHECKED : BST_UNCHECKED);
}

void Win32Form::openInBrowser(const std::wstring& address) {
  ::ShellExecuteW(window_, L"open", address.c_str(), L"", L"", SW_SHOWNORMAL);
}

LRESULT CALLBACK Win32Form::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Win32Form*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form) return ::DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  runGuarded(form->process_, [&] { result = form->handleMessage(message, wParam, lParam); });
  return result;
}

LRESULT Win32Form::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kTimerId && design_->timer) design_->timer->tick();
      return 0;
    case WM_COMMAND:
      onCommand(wParam);
      return 0;
    case WM_CLOSE:
      onClose();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      onEndSession(wParam != FALSE);
      return 0;
    case WM_DPICHANGED:
      onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      if (quietStop_ != 0 && message == quietStop_) {
        // Asked by the suite itself to go without opening a tray: no unload handler runs.
        process_.endProgram();
      }
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void Win32Form::onCommand(WPARAM wParam) {
  if (HIWORD(wParam) != BN_CLICKED) return;
  const int id = LOWORD(wParam);
  for (const ControlDesign& control : design_->controls) {
    if (control.id == id && control.kind == ControlKind::Button) handlers_->click(id);
  }
}

void Win32Form::onClose() {
  handlers_->unload();
  ::DestroyWindow(window_);
}

void Win32Form::onEndSession(bool ending) {
  // A shutdown that was cancelled does not unload the window.
  if (!ending) return;
  // Windows would otherwise end a program that is still busy a few seconds after this message.
  const bool blocking = !design_->shutdownBlockReason.empty() &&
                        ::ShutdownBlockReasonCreate(window_, design_->shutdownBlockReason.c_str());
  handlers_->unload();
  if (blocking) ::ShutdownBlockReasonDestroy(window_);
  process_.endProgram();
}

void Win32Form::onDpiChanged(UINT dpi, const RECT& suggested) {
  layout(dpi);
  ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace zelvo::win32
