#pragma once
// The TV address as the user typed or pasted it, checked before it may enter a command line.
#include <optional>
#include <string>
#include <string_view>

// A dotted IPv4 address: four decimal numbers from 0 to 255 (at most three digits each),
// separated by full stops; white space of any kind around it (tabs, no-break spaces, a line break
// copied along) is ignored. Returns the address in its plain
// form (no leading zeros, which some tools would read as octal), or nothing when the text is
// anything else. Only digits and full stops can ever be in the result.
std::optional<std::wstring> validTvAddress(std::wstring_view text);
