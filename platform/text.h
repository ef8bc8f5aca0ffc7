#pragma once
// UTF-16 <-> UTF-8 conversion. The program keeps every text as std::wstring (UTF-16 on Windows,
// UTF-32 on the host build); these helpers are for the places that meet bytes.
#include <string>
#include <string_view>

namespace platform {

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

}  // namespace platform
