// The programs' wide strings and Linux's bytes. Linux hands over file names and arguments as
// bytes, mostly UTF-8; a byte that is no part of valid UTF-8 becomes a lone low surrogate
// (U+DC80 to U+DCFF) and turns back into the same byte, so that any path survives the round trip.
#pragma once

#include <string>
#include <string_view>

namespace zelvo::linux_os {

std::wstring fromBytes(std::string_view bytes);
std::string toBytes(std::wstring_view text);
// The text as a user reads it in a message: UTF-8, with each byte that came in as no part of
// UTF-8 written out as \xNN, so that no message carries an invalid byte.
std::string printable(std::wstring_view text);

}  // namespace zelvo::linux_os
