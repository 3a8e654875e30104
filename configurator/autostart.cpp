#include "configurator/autostart.h"

namespace zelvo {

bool Autostart::addEjectNow() {
  return addEntry(kEjectNowValue, kEjectNowProgram);
}
bool Autostart::removeEjectNow() {
  return store_.removeEntry(kEjectNowValue);
}
int Autostart::isEjectNowOn() {
  return isEntryOn(kEjectNowValue);
}
std::optional<std::wstring> Autostart::unreadableEjectNow() {
  return store_.readEntry(kEjectNowValue).unreadableAt;
}

bool Autostart::addEjectAtShutdown() {
  return addEntry(kEjectAtShutdownValue, kEjectAtShutdownProgram);
}
bool Autostart::removeEjectAtShutdown() {
  return store_.removeEntry(kEjectAtShutdownValue);
}
int Autostart::isEjectAtShutdownOn() {
  return isEntryOn(kEjectAtShutdownValue);
}
std::optional<std::wstring> Autostart::unreadableEjectAtShutdown() {
  return store_.readEntry(kEjectAtShutdownValue).unreadableAt;
}

bool Autostart::addEntry(const wchar_t* name, const wchar_t* programName) {
  std::wstring path;
  try {
    // Taken at every save, so that a moved suite is registered where it now lies.
    path = programBesideUs(process_, programName);
  } catch (const ServiceError&) {
    return false;  // without our own path there is nothing to write
  }
  return store_.addEntry(name, path);
}

int Autostart::isEntryOn(const wchar_t* name) {
  // Presence only: an entry pointing at another folder still counts as on.
  return store_.readEntry(name).text.empty() ? 0 : 1;
}

}  // namespace zelvo
