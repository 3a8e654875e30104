#include "services/run_key_store.h"

#include "services/registry_text.h"
#include "services/text.h"

namespace zelvo {
namespace {

bool isTextRead(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegBinary || type == kRegLink ||
         type == kRegMultiSz;
}

bool isStoredAsText(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz;
}

// Bytes read as 8-bit text, as the start-up list's first readers read every value: up to the
// first zero byte. Only whether any text is there matters to the presence test.
std::wstring eightBitText(std::span<const std::byte> data) {
  std::wstring text;
  for (const std::byte b : data) {
    if (b == std::byte{0}) break;
    text.push_back(static_cast<wchar_t>(std::to_integer<unsigned char>(b)));
  }
  return text;
}

}  // namespace

StartupEntry RunKeyStore::readEntry(const std::wstring& name) {
  RegistryValue value;
  readValue(kCurrentUser, kRunKey, name, value, kRegSz);
  const auto* text = std::get_if<std::wstring>(&value);
  return {text ? *text : std::wstring(), std::nullopt};
}

bool RunKeyStore::addEntry(const std::wstring& name, const std::wstring& programPath) {
  return writeValue(kCurrentUser, kRunKey, name, quotedIfBlank(programPath), kRegSz) ==
         kErrorSuccess;
}

bool RunKeyStore::removeEntry(const std::wstring& name) {
  const long code = deleteValue(kCurrentUser, kRunKey, name);
  return code == kErrorSuccess || code == kErrorFileNotFound;
}

long RunKeyStore::openKey(std::uint32_t root, const std::wstring& subKey, std::uint32_t access) {
  return registry_.openKey(root, subKey, access, keyHandle_);
}

void RunKeyStore::closeKey() {
  keyHandle_.reset();
}

long RunKeyStore::readValue(std::uint32_t root, const std::wstring& subKey,
                            const std::wstring& name, RegistryValue& value,
                            std::uint32_t expectedType) {
  long code = openKey(root, subKey, kReadAccess);
  if (code == kErrorSuccess) {
    std::uint32_t storedType = kRegNone;
    std::vector<std::byte> data;
    code = keyHandle_->queryValue(name, storedType, data);
    if (code == kErrorSuccess) {
      if (isTextRead(expectedType)) {
        value = isStoredAsText(storedType) ? textFromRegistry(data) : eightBitText(data);
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

long RunKeyStore::writeValue(std::uint32_t root, const std::wstring& subKey,
                             const std::wstring& name, const std::wstring& data,
                             std::uint32_t type) {
  long code = openKey(root, subKey, kWriteAccess);
  if (code == kErrorFileNotFound) {
    // A user whose start-up list was never made, or was cleaned away, still gets the entry.
    code = registry_.createKey(root, subKey, kWriteAccess, keyHandle_);
  }
  if (code == kErrorSuccess) code = keyHandle_->setValue(name, type, registryText(data));
  closeKey();
  return code;
}

long RunKeyStore::deleteValue(std::uint32_t root, const std::wstring& subKey,
                              const std::wstring& name) {
  long code = openKey(root, subKey, kWriteAccess);
  if (code == kErrorSuccess) code = keyHandle_->deleteValue(name);
  closeKey();
  return code;
}

}  // namespace zelvo
