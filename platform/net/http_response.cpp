#include "platform/net/http_response.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace platform::net {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Takes one line (up to "\n", "\r\n" tolerated) off the front of `text`.
std::optional<std::string_view> takeLine(std::string_view& text) {
    const auto end = text.find('\n');
    if (end == std::string_view::npos)
        return std::nullopt;
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    text.remove_prefix(end + 1);
    return line;
}

template <typename Number>
bool parseNumber(std::string_view text, Number& out, int base = 10) {
    text = trimmed(text);
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return error == std::errc() && end == text.data() + text.size();
}

std::optional<std::string> dechunked(std::string_view body) {
    std::string out;
    for (;;) {
        const auto line = takeLine(body);
        if (!line)
            return std::nullopt;
        // Chunk extensions after ';' are allowed and mean nothing to us.
        std::size_t size = 0;
        if (!parseNumber(line->substr(0, line->find(';')), size, 16))
            return std::nullopt;
        if (size == 0)
            return out;  // trailers, if any, are not needed
        if (size > body.size())
            return std::nullopt;
        out.append(body.substr(0, size));
        body.remove_prefix(size);
        if (!takeLine(body))  // the line end after the data
            return std::nullopt;
    }
}

}  // namespace

std::optional<HttpResponse> parseHttpResponse(std::string_view raw) {
    const auto statusLine = takeLine(raw);
    if (!statusLine || statusLine->substr(0, 7) != "HTTP/1.")
        return std::nullopt;
    const auto space = statusLine->find(' ');
    HttpResponse response;
    const auto code =
        space == std::string_view::npos
            ? std::string_view()
            : statusLine->substr(space + 1, statusLine->find(' ', space + 1) - space - 1);
    if (code.size() != 3 || !parseNumber(code, response.status) || response.status < 100 ||
        response.status > 599) {
        return std::nullopt;
    }
    std::optional<std::size_t> length;
    bool chunked = false;
    for (;;) {
        const auto line = takeLine(raw);
        if (!line)
            return std::nullopt;  // the headers never ended
        if (line->empty())
            break;
        const auto colon = line->find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        const auto name = trimmed(line->substr(0, colon));
        const auto value = trimmed(line->substr(colon + 1));
        if (equalsIgnoringCase(name, "Content-Length")) {
            std::size_t n = 0;
            if (!parseNumber(value, n) || (length && *length != n))
                return std::nullopt;
            length = n;
        } else if (equalsIgnoringCase(name, "Transfer-Encoding")) {
            chunked = equalsIgnoringCase(value, "chunked");
        }
    }
    if (chunked) {
        auto body = dechunked(raw);
        if (!body)
            return std::nullopt;
        response.body = std::move(*body);
    } else if (length) {
        if (raw.size() < *length)
            return std::nullopt;
        response.body = std::string(raw.substr(0, *length));
    } else {
        response.body = std::string(raw);
    }
    return response;
}

std::string httpGetRequest(std::string_view host, std::string_view path) {
    std::string request = "GET ";
    request += path;
    request += " HTTP/1.1\r\nHost: ";
    request += host;
    request += "\r\nAccept: application/json\r\nConnection: close\r\n\r\n";
    return request;
}

}  // namespace platform::net
