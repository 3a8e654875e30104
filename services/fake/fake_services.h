// A scripted platform for host tests: drives, program starts, message boxes, pending events and
// timer ticks are set up by the test, and everything asked of the platform is recorded in order.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "services/program_services.h"

namespace zelvo::fake {

struct Drive {
  wchar_t letter;  // upper case, as a system reports it
  unsigned type;   // 2 removable, 3 fixed, 4 remote, 5 CD, ...
  bool readable;   // a CD drive holding a disc, or any ready drive
  std::wstring displayText;
};

struct MessageBoxCall {
  std::wstring text;
  unsigned style;
  std::optional<std::wstring> title;
};

class FakeServices : public ProgramServices {
 public:
  // Set up by the test.
  std::vector<Drive> drives;
  std::wstring folder = L"C:\\Tools";
  std::wstring argumentText;
  bool anotherCopyRunning = false;
  std::set<std::wstring> programFiles;  // full paths that can be started
  std::map<std::wstring, long> driveCommandResults;
  std::wstring currentDrive = L"c:";
  // Events waiting to be dispatched at the next processPendingEvents (one batch per call).
  std::deque<std::function<void()>> pendingEvents;
  // Runs while a message box is open, as a modal loop would dispatch events.
  std::function<void()> whileMessageBoxOpen;

  // Recorded.
  std::vector<std::wstring> log;  // every call, in order, as short text
  std::vector<ProgramStart> starts;
  std::vector<MessageBoxCall> messageBoxes;
  std::vector<std::wstring> driveCommands;
  std::vector<std::wstring> browserAddresses;
  std::map<int, int> checks;
  bool ended = false;

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
  std::intptr_t windowHandle() override { return kWindowHandle; }
  int checkState(int controlId) override;
  void setCheckState(int controlId, int state) override;
  long sendDriveCommand(const std::wstring& command) override;
  void openInBrowser(const std::wstring& address) override;

  static constexpr std::intptr_t kWindowHandle = 0x5a1c;

 private:
  const Drive* find(const std::wstring& driveName) const;
};

// Runs a piece of program logic that may end the program; returns true when it did.
bool endsProgram(const std::function<void()>& logic);

}  // namespace zelvo::fake
