// The suite's two entries in the current user's start-up store: the system starts trayflush and
// traywatch at every logon from them. Adds, removes and tests each entry; knows nothing of the
// window.
#pragma once

#include <optional>
#include <string>

#include "services/process.h"
#include "services/startup_store.h"

namespace zelvo {

inline constexpr wchar_t kEjectNowValue[] = L"WysuwajTeraz";
inline constexpr wchar_t kEjectAtShutdownValue[] = L"WysuwajPotem";
inline constexpr wchar_t kEjectNowProgram[] = L"trayflush";
inline constexpr wchar_t kEjectAtShutdownProgram[] = L"traywatch";

class Autostart {
 public:
  Autostart(StartupStore& store, Process& process) : store_(store), process_(process) {}
  Autostart(const Autostart&) = delete;
  Autostart& operator=(const Autostart&) = delete;

  // The adds and removes tell whether the store now holds what was asked; the tests give 1 when
  // the entry is there with any text, else 0 (a check box state).
  bool addEjectNow();
  bool removeEjectNow();
  int isEjectNowOn();
  bool addEjectAtShutdown();
  bool removeEjectAtShutdown();
  int isEjectAtShutdownOn();
  // Where an entry lies that is there but cannot be read; none when it can be read or is not
  // there. Such an entry is never to be replaced or removed: what it holds is unknown.
  std::optional<std::wstring> unreadableEjectNow();
  std::optional<std::wstring> unreadableEjectAtShutdown();

 private:
  bool addEntry(const wchar_t* name, const wchar_t* programName);
  int isEntryOn(const wchar_t* name);

  StartupStore& store_;
  Process& process_;
};

}  // namespace zelvo
