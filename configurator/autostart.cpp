#include "configurator/autostart.h"

#include "services/registry_text.h"
#include "services/text.h"

namespace zelvo {
namespace {

bool isTextRead(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegBinary || type == kRegLink ||
         type == kRegMultiSz;
}

}  // namespace

std::wstring startupCommand(std::wstring_view folder, std::wstring_view fileName) {
  return quotedIfBlank(joinPath(folder, fileName));
}

bool Autostart::addEjectNow() {
  return addEntry(kEjectNowValue, kEjectNowProgram);
}
bool Autostart::removeEjectNow() {
  return removeEntry(kEjectNowValue);
}
int Autostart::isEjectNowOn() {
  return isEntryOn(kEjectNowValue);
}

bool Autostart::addEjectAtShutdown() {
  return addEntry(kEjectAtShutdownValue, kEjectAtShutdownProgram);
}
bool Autostart::removeEjectAtShutdown() {
  return removeEntry(kEjectAtShutdownValue);
}
int Autostart::isEjectAtShutdownOn() {
  return isEntryOn(kEjectAtShutdownValue);
}

bool Autostart::addEntry(const wchar_t* name, const wchar_t* fileName) {
  std::wstring command;
  try {
    // Taken at every save, so that a moved suite is registered where it now lies.
    command = startupCommand(services_.programFolder(), fileName);
  } catch (const ServiceError&) {
    return false;  // without our own path there is nothing to write
  }
  return writeValue(kCurrentUser, kRunKey, name, command, kRegSz) == kErrorSuccess;
}

bool Autostart::removeEntry(const wchar_t* name) {
  // An entry that is not there, or a start-up key that is not there, is already removed.
  const long code = deleteValue(kCurrentUser, kRunKey, name);
  return code == kErrorSuccess || code == kErrorFileNotFound;
}

int Autostart::isEntryOn(const wchar_t* name) {
  // Presence only: an entry pointing at another folder still counts as on.
  RegistryValue value;
  readValue(kCurrentUser, kRunKey, name, value, kRegSz);
  const auto* text = std::get_if<std::wstring>(&value);
  return text && !text->empty() ? 1 : 0;
}

long Autostart::openKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access) {
  return registry_.openKey(root, subKey, access, keyHandle_);
}

void Autostart::closeKey() {
  keyHandle_.reset();
}

long Autostart::readValue(std::uint32_t root, const std::wstring& subKey, const std::wstring& name,
                          RegistryValue& value, std::uint32_t expectedType) {
  long code = openKey(root, subKey, kReadAccess);
  if (code == kErrorSuccess) {
    std::uint32_t storedType = kRegNone;
    std::vector<std::byte> data;
    code = keyHandle_->queryValue(name, storedType, data);
    if (code == kErrorSuccess) {
      if (isTextRead(expectedType)) {
        value = textFromRegistry(data);
      } else if (data.size() > sizeof(std::int32_t)) {
        code = kErrorMoreData;  // what the registry says when a number's four bytes are too few
      } else {
        std::uint32_t number = 0;
        for (size_t i = 0; i < data.size(); ++i) {
          number |= std::to_integer<std::uint32_t>(data[i]) << (8 * i);
        }
        value = static_cast<std::int32_t>(number);
      }
    }
  }
  closeKey();
  return code;
}

long Autostart::writeValue(std::uint32_t root, const std::wstring& subKey, const std::wstring& name,
                           const std::wstring& data, std::uint32_t type) {
  long code = openKey(root, subKey, kWriteAccess);
  if (code == kErrorFileNotFound) {
    // A user whose start-up list was never made, or was cleaned away, still gets the entry.
    code = registry_.createKey(root, subKey, kWriteAccess, keyHandle_);
  }
  if (code == kErrorSuccess) code = keyHandle_->setValue(name, type, registryText(data));
  closeKey();
  return code;
}

long Autostart::deleteValue(std::uint32_t root, const std::wstring& subKey,
                            const std::wstring& name) {
  long code = openKey(root, subKey, kWriteAccess);
  if (code == kErrorSuccess) code = keyHandle_->deleteValue(name);
  closeKey();
  return code;
}

}  // namespace zelvo
