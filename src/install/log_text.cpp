#include "src/install/log_text.h"

#include <algorithm>

#include "platform/text.h"

namespace {

// The Cyrillic letters of code page 866: А–п, р–я, Ё and ё.
bool cp866Letter(unsigned char b) {
    return (b >= 0x80 && b <= 0xAF) || (b >= 0xE0 && b <= 0xF1);
}

wchar_t fromCp866(unsigned char b) {
    if (b < 0x80)
        return static_cast<wchar_t>(b);
    if (b <= 0xAF)
        return static_cast<wchar_t>(0x0410 + (b - 0x80));
    if (b <= 0xEF)
        return static_cast<wchar_t>(0x0440 + (b - 0xE0));
    return b == 0xF0 ? L'\x0401' : L'\x0451';
}

}  // namespace

std::wstring logLineText(std::string_view line) {
    std::wstring text = platform::fromUtf8(line);
    if (text.find(L'\xFFFD') == std::wstring::npos)
        return text;
    // Not UTF-8: 866 when every byte beyond ASCII is one of its letters, else bytes nobody can
    // read, shown as such.
    if (!std::all_of(line.begin(), line.end(), [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b < 0x80 || cp866Letter(b);
        })) {
        return text;
    }
    text.clear();
    for (const char c : line)
        text.push_back(fromCp866(static_cast<unsigned char>(c)));
    return text;
}
