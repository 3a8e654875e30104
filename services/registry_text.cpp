#include "services/registry_text.h"

namespace zelvo {

std::vector<std::byte> registryText(std::wstring_view text) {
  std::vector<std::byte> bytes;
  bytes.reserve((text.size() + 1) * 2);
  const auto put = [&](char16_t unit) {
    bytes.push_back(static_cast<std::byte>(unit & 0xFF));
    bytes.push_back(static_cast<std::byte>(unit >> 8));
  };
  for (const wchar_t c : text) put(static_cast<char16_t>(c));
  put(u'\0');
  return bytes;
}

std::wstring textFromRegistry(std::span<const std::byte> data) {
  std::wstring text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(std::to_integer<unsigned>(data[i]) |
                                            std::to_integer<unsigned>(data[i + 1]) << 8);
    if (unit == u'\0') break;
    text.push_back(static_cast<wchar_t>(unit));
  }
  return text;
}

}  // namespace zelvo
