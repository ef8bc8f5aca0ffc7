#include "platform/net/ssdp_message.h"

#include <algorithm>
#include <cctype>

namespace platform::net {
namespace {

// Headers read from one datagram; the rest of a longer head is ignored.
constexpr int mostHeaderLines = 64;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sameText(text.substr(0, prefix.size()), prefix);
}

std::string_view stripped(std::string_view text) {
    while (!text.empty() && (isBlank(text.front()) || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The next whitespace-separated word of `text`, taken off its front.
std::string_view takeWord(std::string_view& text) {
    text = stripped(text);
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

// The line up to "\n" (a "\r" before it dropped), taken off the front of `text`.
std::string_view nextLine(std::string_view& text) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

enum class StartLine { reply, notify, search, other };

StartLine startLine(std::string_view line) {
    const std::string_view first = takeWord(line);
    const std::string_view second = takeWord(line);
    const std::string_view third = takeWord(line);
    if (startsWithIgnoringCase(first, "HTTP/1.") && second == "200")
        return StartLine::reply;
    if (second != "*" || !startsWithIgnoringCase(third, "HTTP/1.") || !takeWord(line).empty())
        return StartLine::other;
    if (sameText(first, "NOTIFY"))
        return StartLine::notify;
    if (sameText(first, "M-SEARCH"))
        return StartLine::search;
    return StartLine::other;
}

struct Headers {
    std::string st, nt, nts, usn, location, server;

    std::string* slot(std::string_view name) {
        if (sameText(name, "ST"))
            return &st;
        if (sameText(name, "NT"))
            return &nt;
        if (sameText(name, "NTS"))
            return &nts;
        if (sameText(name, "USN"))
            return &usn;
        if (sameText(name, "LOCATION"))
            return &location;
        if (sameText(name, "SERVER"))
            return &server;
        return nullptr;
    }
};

Headers readHeaders(std::string_view text) {
    Headers headers;
    std::string* last = nullptr;  // the header a folded line continues
    for (int lines = 0; !text.empty() && lines < mostHeaderLines; ++lines) {
        const std::string_view line = nextLine(text);
        if (stripped(line).empty())
            break;
        if (isBlank(line.front())) {
            if (last != nullptr && !last->empty()) {
                *last += ' ';
                *last += stripped(line);
            }
            continue;
        }
        last = nullptr;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string* value = headers.slot(stripped(line.substr(0, colon)));
        // The first of a header given twice counts.
        if (value == nullptr || !value->empty())
            continue;
        *value = stripped(line.substr(colon + 1));
        last = value;
    }
    return headers;
}

}  // namespace

std::string ssdpSearchRequest(std::string_view target, int mx) {
    std::string request = "M-SEARCH * HTTP/1.1\r\nHOST: ";
    request += ssdpGroup;
    request += ":" + std::to_string(ssdpPort) + "\r\nMAN: \"ssdp:discover\"\r\nMX: ";
    request += std::to_string(mx) + "\r\nST: ";
    request += target;
    request += "\r\n\r\n";
    return request;
}

std::optional<SsdpMessage> parseSsdpMessage(std::string_view datagram) {
    if (datagram.size() > ssdpLongestMessage)
        return std::nullopt;
    // Some devices put an empty line before the start line.
    std::string_view first;
    do {
        first = nextLine(datagram);
    } while (stripped(first).empty() && !datagram.empty());
    const StartLine kind = startLine(first);
    if (kind == StartLine::other)
        return std::nullopt;
    Headers headers = readHeaders(datagram);
    SsdpMessage message;
    switch (kind) {
        case StartLine::reply:
        case StartLine::search:
            if (headers.st.empty())
                return std::nullopt;
            message.kind = kind == StartLine::reply ? SsdpKind::searchReply : SsdpKind::search;
            message.target = std::move(headers.st);
            break;
        case StartLine::notify:
            if (headers.nt.empty())
                return std::nullopt;
            if (sameText(headers.nts, "ssdp:alive"))
                message.kind = SsdpKind::alive;
            else if (sameText(headers.nts, "ssdp:byebye"))
                message.kind = SsdpKind::byebye;
            else
                return std::nullopt;
            message.target = std::move(headers.nt);
            break;
        case StartLine::other:
            return std::nullopt;
    }
    message.usn = std::move(headers.usn);
    message.location = std::move(headers.location);
    message.server = std::move(headers.server);
    return message;
}

bool isTvSearchTarget(std::string_view target) {
    target = stripped(target);
    return std::any_of(std::begin(tvSearchTargets), std::end(tvSearchTargets),
                       [&](std::string_view known) { return sameText(target, known); });
}

}  // namespace platform::net
