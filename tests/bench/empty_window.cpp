// Baseline for the figures script: a hidden top-level window waiting in its message loop, the
// least a program that waits for the session end can be.
#include <windows.h>

namespace {
LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"Empty window";
  ::RegisterClassW(&windowClass);
  ::CreateWindowExW(WS_EX_TOOLWINDOW, L"Empty window", L"Empty window", WS_OVERLAPPED, 0, 0, 0, 0,
                    nullptr, nullptr, instance, nullptr);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  return 0;
}
