// Text as the registry stores it: UTF-16 code units, low byte first. On Windows a wchar_t is one
// such unit; the host tests' wide strings hold only characters that fit in one.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

// The bytes of a text value: the text and one terminating zero unit, which the stored size
// counts, so that every reader gets the text back exactly.
std::vector<std::byte> registryText(std::wstring_view text);

// The text of value bytes as the registry returned them: up to the first zero unit, or all of
// them when there is none; an odd last byte is no character and is left out.
std::wstring textFromRegistry(std::span<const std::byte> data);

}  // namespace zelvo
