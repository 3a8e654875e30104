// A scripted platform for host tests: drives, program files and starts, message boxes, pending
// events, a waiting traywatch and timer ticks are set up by the test, and everything asked of the
// platform is recorded in order.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "services/drive_control.h"
#include "services/drives.h"
#include "services/process.h"
#include "services/watcher.h"
#include "services/window.h"

namespace zelvo::fake {

struct Drive {
  wchar_t letter;            // upper case, as a system reports it
  unsigned type;             // 2 removable, 3 fixed, 4 remote, 5 CD, ...
  bool readable;             // a CD drive holding a disc, or any ready drive
  std::wstring displayText;  // what a drive list may show after the letter
};

struct MessageBoxCall {
  std::wstring text;
  unsigned style;
  std::optional<std::wstring> title;
};

class FakeServices : public Process,
                     public Drives,
                     public DriveControl,
                     public EventLoop,
                     public MessageBoxes,
                     public Window,
                     public Watcher {
 public:
  // Set up by the test.
  std::vector<Drive> drives;
  std::wstring folder = L"C:\\Tools";
  PathStyle paths = kWindowsPaths;
  std::wstring argumentText;
  bool anotherCopyRunning = false;
  bool copiesCannotBeTold = false;      // previousInstance raises: no way to tell
  std::set<std::wstring> programFiles;  // full paths of the files that are there
  std::map<std::wstring, long> driveCommandResults;
  std::wstring currentDrive = L"c:";
  // Events waiting to be dispatched at the next processPendingEvents (one batch per call).
  std::deque<std::function<void()>> pendingEvents;
  // Runs while a message box is open, as a modal loop would dispatch events.
  std::function<void()> whileMessageBoxOpen;
  // A traywatch waits in the session; starting traywatch makes one wait, the quiet stop ends it.
  bool watcherWaiting = false;
  bool watcherFrozen = false;  // the waiting traywatch never takes the quiet stop

  // Recorded.
  std::vector<std::wstring> log;  // every call, in order, as short text
  std::vector<ProgramStart> starts;
  std::vector<MessageBoxCall> messageBoxes;
  std::vector<std::wstring> driveCommands;
  std::vector<std::wstring> browserAddresses;
  std::map<int, int> checks;
  bool ended = false;

  // Process
  std::wstring programFolder() override;
  PathStyle pathStyle() const override { return paths; }
  std::wstring commandLine() override;
  bool previousInstance() override;
  bool fileExists(const std::wstring& path) override;
  void startProgram(const ProgramStart& start) override;
  [[noreturn]] void endProgram() override;
  // Drives
  int driveCount() override;
  std::wstring driveEntry(int index) override;
  unsigned driveType(const std::wstring& driveName) override;
  void makeDriveCurrent(const std::wstring& driveName) override;
  // DriveControl
  long sendDriveCommand(const std::wstring& command) override;
  // EventLoop, MessageBoxes, Window
  void processPendingEvents() override;
  void messageBox(const std::wstring& text, unsigned style,
                  const std::optional<std::wstring>& title) override;
  int checkState(int controlId) override;
  void setCheckState(int controlId, int state) override;
  void openInBrowser(const std::wstring& address) override;
  // Watcher
  bool isWaiting() override;
  bool stopQuietly() override;

 private:
  const Drive* find(const std::wstring& driveName) const;
};

// Runs a piece of program logic that may end the program; returns true when it did.
bool endsProgram(const std::function<void()>& logic);

}  // namespace zelvo::fake
