#include <windows.h>

#include "launchers/immediate/immediate_launcher.h"
#include "services/win32/win32_drives.h"
#include "services/win32/win32_form.h"
#include "services/win32/win32_process.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  zelvo::win32::Win32Process process;
  zelvo::win32::Win32Drives drives;
  zelvo::win32::Win32Form form(process);
  zelvo::ImmediateLauncher launcher({process, drives, form, form});
  return form.run(launcher.frmMain(), launcher);
}
