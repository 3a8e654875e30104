// Baseline for the figures script: a GUI-subsystem program that does nothing at all.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return 0;
}
