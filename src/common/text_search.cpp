#include "src/common/text_search.h"

namespace {

template <typename Char>
Char lowerAscii(Char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string lowered(std::string_view text) {
    std::string out(text);
    for (auto& c : out)
        c = lowerAscii(c);
    return out;
}

std::wstring lowered(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out)
        c = lowerAscii(c);
    return out;
}

bool containsIgnoringCase(std::wstring_view text, std::wstring_view part) {
    return contains(lowered(text), lowered(part));
}

std::string_view trimmed(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}
