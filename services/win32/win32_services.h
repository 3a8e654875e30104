// The program services on Win32. Process services are here; what needs the window goes to the
// WindowHost that the program's form attaches, so a program without a window (traypop) links
// none of the window code.
#pragma once

#include <windows.h>

#include <string>

#include "services/program_services.h"
#include "services/win32/unique_any.h"

namespace zelvo::win32 {

class WindowHost {
 public:
  virtual ~WindowHost() = default;
  virtual HWND handle() const = 0;
  virtual bool visible() const = 0;
  virtual const std::wstring& programTitle() const = 0;
  virtual void processPendingEvents() = 0;
  virtual int driveCount() const = 0;
  virtual std::wstring driveEntry(int index) const = 0;
  virtual int checkState(int controlId) const = 0;
  virtual void setCheckState(int controlId, int state) = 0;
  virtual void openInBrowser(const std::wstring& address) = 0;
};

class Win32Services final : public ProgramServices {
 public:
  Win32Services() = default;
  Win32Services(const Win32Services&) = delete;
  Win32Services& operator=(const Win32Services&) = delete;

  void attach(WindowHost* window) { window_ = window; }

  int driveCount() override;
  std::wstring driveEntry(int index) override;
  unsigned driveType(const std::wstring& driveName) override;
  void makeDriveCurrent(const std::wstring& driveName) override;
  void processPendingEvents() override;
  void startProgram(const ProgramStart& start) override;
  std::wstring programFolder() override;
  std::wstring commandLine() override;
  bool previousInstance() override;
  void messageBox(const std::wstring& text, unsigned style,
                  const std::optional<std::wstring>& title) override;
  [[noreturn]] void endProgram() override;
  std::intptr_t windowHandle() override;
  int checkState(int controlId) override;
  void setCheckState(int controlId, int state) override;
  long sendDriveCommand(const std::wstring& command) override;
  void openInBrowser(const std::wstring& address) override;

 private:
  WindowHost* window_ = nullptr;
  UniqueHandle instanceMutex_;
  bool alreadyThere_ = false;
};

// Full path of the running executable, however long.
std::wstring modulePath();

// Runs body and ends the program quietly if anything escapes it: no exception may leave a
// window procedure or the program's entry point.
template <typename Body>
void runGuarded(ProgramServices& services, Body&& body) noexcept {
  try {
    body();
  } catch (...) {
    services.endProgram();
  }
}

}  // namespace zelvo::win32
