// Fuzzes the SSDP parser with what anyone on the local network may send: it must never crash or
// read out of bounds, give only trimmed, non-empty targets, never more text than it was given,
// refuse what is longer than a real datagram, and read "\r\n" and "\n" line ends alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/net/ssdp_message.h"

namespace {

using platform::net::parseSsdpMessage;
using platform::net::SsdpMessage;

void require(bool condition) {
    if (!condition)
        std::abort();
}

bool trimmed(const std::string& value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    return value.empty() || (!blank(value.front()) && !blank(value.back()));
}

std::string bareLineFeeds(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

bool same(const std::optional<SsdpMessage>& a, const std::optional<SsdpMessage>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return !a || (a->kind == b->kind && a->target == b->target && a->usn == b->usn &&
                  a->location == b->location && a->server == b->server);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);
    const auto message = parseSsdpMessage(datagram);
    if (size > platform::net::ssdpLongestMessage) {
        require(!message);
        return 0;
    }
    require(same(message, parseSsdpMessage(bareLineFeeds(datagram))));
    if (!message)
        return 0;
    require(!message->target.empty());
    for (const std::string* value :
         {&message->target, &message->usn, &message->location, &message->server}) {
        require(trimmed(*value));
        require(value->size() <= size);
    }
    // Deciding whether it names a TV takes any target.
    (void)platform::net::isTvSearchTarget(message->target);
    return 0;
}
