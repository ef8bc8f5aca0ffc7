#pragma once
// A line of a command's log as text. The bridge tool and the TV write UTF-8; cmd.exe writes its
// own messages ("is not recognized…", "Access is denied.") in the console's OEM code page, which
// on Russian and Kazakh Windows is 866.
#include <string>
#include <string_view>

// UTF-8 when the line is valid UTF-8, otherwise code page 866.
std::wstring logLineText(std::string_view line);
