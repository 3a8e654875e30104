// Baseline for the figures script: a program that does nothing but load Windows' multimedia
// library, the least any program that sends MCI commands must pay at its start.
#include <windows.h>
// Needs the types of windows.h before it.
#include <mmsystem.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Taking the address keeps the import without sending a command.
  volatile auto send = &::mciSendStringW;
  return send ? 0 : 1;
}
