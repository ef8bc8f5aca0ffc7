#include "src/tvs/tv_address.h"

namespace {

// Unicode's white space, and the invisible marks that come along when text is copied from a
// chat or a web page (zero-width space and joiners, the byte order mark).
bool isBlank(wchar_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == L' ' || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200D) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x2060 || c == 0x3000 || c == 0xFEFF;
}

}  // namespace

std::optional<std::wstring> validTvAddress(std::wstring_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;

    std::wstring plain;
    int parts = 0;
    size_t i = 0;
    for (;;) {
        int value = 0;
        int digits = 0;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
            value = value * 10 + (text[i] - L'0');
            ++digits;
            ++i;
            if (digits > 3)
                return std::nullopt;
        }
        if (digits == 0 || value > 255)
            return std::nullopt;
        plain += std::to_wstring(value);
        ++parts;
        if (parts == 4)
            break;
        if (i >= text.size() || text[i] != L'.')
            return std::nullopt;
        plain += L'.';
        ++i;
    }
    if (i != text.size())
        return std::nullopt;
    return plain;
}
