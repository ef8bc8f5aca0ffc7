#pragma once
// SSDP, UPnP's discovery over UDP: the search this PC multicasts, and what devices send back or
// announce. The datagrams come from anyone on the local network, so parsing expects anything.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform::net {

inline constexpr const char* ssdpGroup = "239.255.255.250";
inline constexpr unsigned short ssdpPort = 1900;

// What Samsung TVs answer: their remote control service, their media renderer, and DIAL.
inline constexpr std::string_view tvSearchTargets[] = {
    "urn:samsung.com:device:RemoteControlReceiver:1",
    "urn:schemas-upnp-org:device:MediaRenderer:1",
    "urn:dial-multiscreen-org:service:dial:1",
};

// A datagram longer than this is no SSDP message (real ones are a few hundred bytes).
inline constexpr std::size_t ssdpLongestMessage = 8192;

// The M-SEARCH for `target`, to be answered within `mx` seconds.
std::string ssdpSearchRequest(std::string_view target, int mx);

enum class SsdpKind {
    searchReply,  // "HTTP/1.1 200 OK" to an M-SEARCH
    alive,        // "NOTIFY * HTTP/1.1" with NTS ssdp:alive
    byebye,       // "NOTIFY * HTTP/1.1" with NTS ssdp:byebye
    search,       // another host's "M-SEARCH * HTTP/1.1"
};

struct SsdpMessage {
    SsdpKind kind = SsdpKind::searchReply;
    std::string target;  // ST of a reply or a search, NT of a notification; never empty
    std::string usn;
    std::string location;
    std::string server;
};

// Header names in any case, spaces and tabs around values, "\r\n" or "\n", folded lines. Nothing
// when the datagram is none of those kinds, or lacks what its kind needs (ST, or NT and NTS).
std::optional<SsdpMessage> parseSsdpMessage(std::string_view datagram);

// One of tvSearchTargets, in any case.
bool isTvSearchTarget(std::string_view target);

}  // namespace platform::net
