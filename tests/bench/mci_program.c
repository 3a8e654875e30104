/* Baseline for the figures script: the least a program can do to open a tray, the same two
   MCI command strings that traypop sends, for the first character of its argument text. Plain
   C, no error handling, no C++ runtime: traypop's honest floor. */
#include <windows.h>
/* Needs the types of windows.h before it. */
#include <mmsystem.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR arguments, int show) {
  wchar_t open[] = L"open ?: type cdaudio alias Drive? wait";
  wchar_t door[] = L"set Drive? door open";
  (void)instance, (void)previous, (void)show;
  open[5] = open[32] = door[9] = arguments[0];
  mciSendStringW(open, NULL, 0, NULL);
  mciSendStringW(door, NULL, 0, NULL);
  return 0;
}
