#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

constexpr char32_t kEscapeBase = 0xDC00;

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at the start of bytes, with its code point; 0 when
// none starts there (a stray byte, an overlong form, a surrogate, a value beyond U+10FFFF).
size_t decodeOne(std::string_view bytes, char32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, codePoint = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, codePoint = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, codePoint = lead & 0x07u;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (!isContinuation(byte)) return 0;
    codePoint = (codePoint << 6) | (byte & 0x3Fu);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) return 0;
  return length;
}

// UTF-8 of the text; each byte that came in as no part of UTF-8 is handed to putByte.
template <typename PutByte>
std::string encode(std::wstring_view text, PutByte putByte) {
  std::string bytes;
  bytes.reserve(text.size());
  const auto put = [&](char32_t value) { bytes.push_back(static_cast<char>(value)); };
  for (const wchar_t c : text) {
    auto codePoint = static_cast<char32_t>(c);
    if (codePoint >= kEscapeBase + 0x80 && codePoint <= kEscapeBase + 0xFF) {
      putByte(bytes, static_cast<unsigned char>(codePoint - kEscapeBase));
      continue;
    }
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
      codePoint = 0xFFFD;
    }
    if (codePoint < 0x80) {
      put(codePoint);
    } else if (codePoint < 0x800) {
      put(0xC0 | (codePoint >> 6));
      put(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
      put(0xE0 | (codePoint >> 12));
      put(0x80 | ((codePoint >> 6) & 0x3F));
      put(0x80 | (codePoint & 0x3F));
    } else {
      put(0xF0 | (codePoint >> 18));
      put(0x80 | ((codePoint >> 12) & 0x3F));
      put(0x80 | ((codePoint >> 6) & 0x3F));
      put(0x80 | (codePoint & 0x3F));
    }
  }
  return bytes;
}

}  // namespace

std::wstring fromBytes(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    char32_t codePoint = 0;
    size_t length = decodeOne(bytes, codePoint);
    if (length == 0) {
      codePoint = kEscapeBase + static_cast<unsigned char>(bytes[0]);
      length = 1;
    }
    text.push_back(static_cast<wchar_t>(codePoint));
    bytes.remove_prefix(length);
  }
  return text;
}

std::string toBytes(std::wstring_view text) {
  return encode(text, [](std::string& bytes, unsigned char byte) {
    bytes.push_back(static_cast<char>(byte));
  });
}

std::string printable(std::wstring_view text) {
  return encode(text, [](std::string& bytes, unsigned char byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    bytes += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
  });
}

}  // namespace zelvo::linux_os
