#include "platform/text.h"

#include <cstdint>

#include "platform/error.h"

namespace platform {
namespace {

// Decodes one code point from a wide string: UTF-16 where wchar_t is 16 bits, UTF-32 otherwise.
// Unpaired surrogates become U+FFFD rather than corrupting the output.
char32_t nextCodePoint(std::wstring_view text, size_t& i) {
    char32_t c = static_cast<char32_t>(text[i++]);
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i < text.size()) {
                const char32_t low = static_cast<char32_t>(text[i]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    ++i;
                    return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                }
            }
            return 0xFFFD;
        }
        if (c >= 0xDC00 && c <= 0xDFFF)
            return 0xFFFD;
    }
    return c > 0x10FFFF ? 0xFFFD : c;
}

void appendWide(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(c));
}

}  // namespace

std::size_t toUtf8(std::wstring_view text, std::span<char> out) {
    std::size_t n = 0;
    const auto put = [&](char32_t byte) { out[n++] = static_cast<char>(byte); };
    for (size_t i = 0; i < text.size();) {
        const char32_t c = nextCodePoint(text, i);
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | (c >> 6));
            put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | (c >> 12));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | (c >> 18));
            put(0x80 | ((c >> 12) & 0x3F));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    }
    return n;
}

std::string toUtf8(std::wstring_view text) {
    std::string out(text.size() * 4, '\0');
    out.resize(toUtf8(text, out));
    return out;
}

std::wstring fromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<uint8_t>(text[i]);
        int extra = 0;
        char32_t c = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else {
            appendWide(out, 0xFFFD);
            ++i;
            continue;
        }
        ++i;
        bool valid = true;
        for (int k = 0; k < extra; ++k, ++i) {
            if (i >= text.size() || (static_cast<uint8_t>(text[i]) & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            c = (c << 6) | (static_cast<uint8_t>(text[i]) & 0x3F);
        }
        appendWide(out, valid && c <= 0x10FFFF ? c : 0xFFFD);
    }
    return out;
}

std::wstring exceptionMessage(const std::exception& e) {
    if (const auto* own = dynamic_cast<const Error*>(&e))
        return own->message();
    return fromUtf8(e.what());
}

}  // namespace platform
