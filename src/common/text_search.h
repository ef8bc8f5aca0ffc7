#pragma once
// Looking for known words in what the bridge tool, the TV and cmd.exe print. Their letter case
// varies from version to version; the words looked for are ASCII (or Cyrillic without a capital
// letter), so only A-Z is folded, whatever the locale.
#include <string>
#include <string_view>

std::string lowered(std::string_view text);
std::wstring lowered(std::wstring_view text);

inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}
inline bool contains(std::wstring_view text, std::wstring_view part) {
    return text.find(part) != std::wstring_view::npos;
}
// The same, with A-Z and a-z alike.
bool containsIgnoringCase(std::wstring_view text, std::wstring_view part);

// The line without the spaces, tabs and carriage returns around it.
std::string_view trimmed(std::string_view line);

// Calls visit(line) for each line of the text that is not blank, trimmed, until visit returns
// false.
template <typename Visit>
void forEachLine(std::string_view text, Visit visit) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        const auto line =
            trimmed(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (!line.empty() && !visit(line))
            return;
        if (end == std::string_view::npos)
            return;
        start = end + 1;
    }
}
