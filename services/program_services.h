// The window and process services that every Zelvo CD program rests on. The programs' routines
// talk only to this interface, so the same code runs on Win32 and, in host tests, on a fake.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace zelvo {

// Raised by a service that could not do what was asked; carries the platform's error code.
// Routines with an error trap catch it; where none does, the program ends quietly.
class ServiceError {
 public:
  explicit ServiceError(unsigned long code) noexcept : code_(code) {}
  unsigned long code() const noexcept { return code_; }

 private:
  unsigned long code_;
};

// Thrown only by the fake platform to model "the process ends here". Error traps catch
// ServiceError alone, so none of them can swallow the end of the program.
struct ProgramEnded {};

// Message box styles the programs use (the platform's MB_ICONEXCLAMATION and MB_ICONINFORMATION,
// each with a single OK button).
inline constexpr unsigned kStyleExclamation = 48;
inline constexpr unsigned kStyleInformation = 64;

// Window style for a started program: minimized, with the focus (SW_SHOWMINIMIZED).
inline constexpr int kShowMinimized = 2;

// The drive type that marks a CD drive (DRIVE_CDROM).
inline constexpr unsigned kDriveCdrom = 5;

struct ProgramStart {
  std::wstring applicationPath;  // full path of the program file, never searched for
  std::wstring argumentText;     // what the started program reads as its command line
  int windowStyle = kShowMinimized;
  // How long to wait for the started program to end before returning; zero returns at once.
  std::chrono::milliseconds waitForExit{0};
};

class ProgramServices {
 public:
  virtual ~ProgramServices() = default;

  // Drive list control: one entry per present drive in drive-letter order, each beginning with
  // the lower-case letter and a colon; display text may follow. Filled when the window is made.
  virtual int driveCount() = 0;
  virtual std::wstring driveEntry(int index) = 0;
  // Type of the drive named by its two characters, letter and colon (5 for a CD drive).
  virtual unsigned driveType(const std::wstring& driveName) = 0;
  // Makes the named drive the process's current drive; raises ServiceError when it cannot,
  // in particular when no readable disc is inserted. Never shows a system "no disk" box.
  virtual void makeDriveCurrent(const std::wstring& driveName) = 0;

  // Dispatches every waiting window event, then returns.
  virtual void processPendingEvents() = 0;

  // Starts a program without waiting for it (beyond start.waitForExit); raises ServiceError
  // when it cannot be started.
  virtual void startProgram(const ProgramStart& start) = 0;

  // Folder of the running executable, without a trailing backslash except at a drive root.
  virtual std::wstring programFolder() = 0;
  // The text that follows the program's name on its command line.
  virtual std::wstring commandLine() = 0;
  // True when another copy of this same program is already running in the session.
  virtual bool previousInstance() = 0;

  // Modal message box; without a title it shows the program's title.
  virtual void messageBox(const std::wstring& text, unsigned style,
                          const std::optional<std::wstring>& title = std::nullopt) = 0;

  // Ends the process at once; no further handler runs, not even the unload handler.
  [[noreturn]] virtual void endProgram() = 0;

  // Native handle of the program's window (0 before the window exists).
  virtual std::intptr_t windowHandle() = 0;

  // Check box state, 0 or 1, of the window's control with this id.
  virtual int checkState(int controlId) = 0;
  virtual void setCheckState(int controlId, int state) = 0;

  // One command string to the multimedia command interface, with no reply buffer and no
  // notification window; returns the interface's error code (0 for success).
  virtual long sendDriveCommand(const std::wstring& command) = 0;

  // Opens an address in the user's default browser (the shell's "open" verb, owned by the
  // program's window). Whatever happens is not reported.
  virtual void openInBrowser(const std::wstring& address) = 0;
};

}  // namespace zelvo
