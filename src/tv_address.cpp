#include "src/tv_address.h"

std::optional<std::wstring> validTvAddress(std::wstring_view text) {
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(L' ') - first + 1);

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
