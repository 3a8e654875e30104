#include "services/fake/fake_services.h"

#include <cwctype>

#include "services/text.h"

namespace zelvo::fake {

const Drive* FakeServices::find(const std::wstring& driveName) const {
  if (driveName.size() < 2 || driveName[1] != L':') return nullptr;
  for (const Drive& drive : drives) {
    if (std::towupper(drive.letter) == std::towupper(driveName[0])) return &drive;
  }
  return nullptr;
}

std::wstring FakeServices::programFolder() {
  return folder;
}

std::wstring FakeServices::commandLine() {
  return argumentText;
}

bool FakeServices::previousInstance() {
  if (copiesCannotBeTold) throw ServiceError(5);  // ERROR_ACCESS_DENIED
  return anotherCopyRunning;
}

bool FakeServices::fileExists(const std::wstring& path) {
  return programFiles.contains(path);
}

void FakeServices::startProgram(const ProgramStart& start) {
  log.push_back(L"start " + start.applicationPath + L" " + start.argumentText);
  if (!programFiles.contains(start.applicationPath)) throw ServiceError(2);  // FILE_NOT_FOUND
  starts.push_back(start);
  if (start.applicationPath.ends_with(std::wstring(kWatcherProgram) +
                                      std::wstring(paths.programSuffix))) {
    watcherWaiting = true;
  }
}

void FakeServices::endProgram() {
  log.push_back(L"end");
  ended = true;
  throw ProgramEnded{};
}

int FakeServices::driveCount() {
  return static_cast<int>(drives.size());
}

std::wstring FakeServices::driveEntry(int index) {
  const Drive& drive = drives.at(static_cast<size_t>(index));
  std::wstring entry = driveListEntry(drive.letter);
  if (!drive.displayText.empty()) entry += L" [" + drive.displayText + L"]";
  return entry;
}

unsigned FakeServices::driveType(const std::wstring& driveName) {
  log.push_back(L"type " + driveName);
  const Drive* drive = find(driveName);
  return drive ? drive->type : 1;  // DRIVE_NO_ROOT_DIR
}

void FakeServices::makeDriveCurrent(const std::wstring& driveName) {
  log.push_back(L"current " + driveName);
  const Drive* drive = find(driveName);
  if (!drive) throw ServiceError(15);            // ERROR_INVALID_DRIVE
  if (!drive->readable) throw ServiceError(21);  // ERROR_NOT_READY
  currentDrive = driveName.substr(0, 2);
}

long FakeServices::sendDriveCommand(const std::wstring& command) {
  log.push_back(L"mci " + command);
  driveCommands.push_back(command);
  const auto result = driveCommandResults.find(command);
  return result == driveCommandResults.end() ? 0 : result->second;
}

void FakeServices::processPendingEvents() {
  log.push_back(L"events");
  // Only what waits now is dispatched; events queued by these handlers wait for the next call.
  std::deque<std::function<void()>> batch;
  batch.swap(pendingEvents);
  for (auto& event : batch) event();
}

void FakeServices::messageBox(const std::wstring& text, unsigned style,
                              const std::optional<std::wstring>& title) {
  log.push_back(L"box " + text);
  messageBoxes.push_back({text, style, title});
  if (whileMessageBoxOpen) whileMessageBoxOpen();
}

int FakeServices::checkState(int controlId) {
  return checks[controlId];
}

void FakeServices::setCheckState(int controlId, int state) {
  checks[controlId] = state;
}

void FakeServices::openInBrowser(const std::wstring& address) {
  log.push_back(L"browse " + address);
  browserAddresses.push_back(address);
}

bool FakeServices::isWaiting() {
  return watcherWaiting;
}

bool FakeServices::stopQuietly() {
  log.push_back(L"stop watcher");
  if (!watcherFrozen) watcherWaiting = false;
  return !watcherWaiting;
}

bool endsProgram(const std::function<void()>& logic) {
  try {
    logic();
  } catch (const ProgramEnded&) {
    return true;
  }
  return false;
}

}  // namespace zelvo::fake
