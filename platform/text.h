#pragma once
// UTF-16 <-> UTF-8 conversion. The program keeps every text as std::wstring (UTF-16 on Windows,
// UTF-32 on the host build); these helpers are for the places that meet bytes.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace platform {

std::string toUtf8(std::wstring_view text);
// Writes the text as UTF-8 into `out`, which must hold 4 bytes a character, and returns how many
// it wrote. For a buffer that must never be reallocated (a password's, wiped after use).
std::size_t toUtf8(std::wstring_view text, std::span<char> out);
std::wstring fromUtf8(std::string_view text);

}  // namespace platform
