// SSDP datagrams as devices really send them, in their variety, and broken ones: what the search
// and the watch take from them, and what they ignore.
#include "platform/net/ssdp_message.h"

#include <gtest/gtest.h>

namespace {

using platform::net::isTvSearchTarget;
using platform::net::parseSsdpMessage;
using platform::net::SsdpKind;

constexpr const char* remote = "urn:samsung.com:device:RemoteControlReceiver:1";

TEST(SsdpMessage, RealRepliesAndAnnouncementsInTheirVariety) {
    const struct {
        const char* what;
        std::string datagram;
        SsdpKind kind;
        std::string target;
        std::string usn;
        std::string location;
    } cases[] = {
        {"a Samsung set's reply",
         "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nDATE: Thu, 01 Jan 1970 00:00:00 GMT\r\n"
         "EXT:\r\nLOCATION: http://192.168.1.20:7676/smp_15_\r\nSERVER: SHP, UPnP/1.0, Samsung "
         "UPnP SDK/1.0\r\nST: urn:samsung.com:device:RemoteControlReceiver:1\r\nUSN: "
         "uuid:0f7ff5fc::urn:samsung.com:device:RemoteControlReceiver:1\r\nContent-Length: "
         "0\r\n\r\n",
         SsdpKind::searchReply, remote,
         "uuid:0f7ff5fc::urn:samsung.com:device:RemoteControlReceiver:1",
         "http://192.168.1.20:7676/smp_15_"},
        {"names in lower case, a tab and spaces around values",
         "HTTP/1.1 200 OK\r\nst:\turn:schemas-upnp-org:device:MediaRenderer:1  \r\nusn :  u1\r\n"
         "location:http://10.0.0.5:9197/dmr\r\n\r\n",
         SsdpKind::searchReply, "urn:schemas-upnp-org:device:MediaRenderer:1", "u1",
         "http://10.0.0.5:9197/dmr"},
        {"bare line feeds, HTTP/1.0, no end of head",
         "HTTP/1.0 200 OK\nST: urn:dial-multiscreen-org:service:dial:1\nUSN: u2",
         SsdpKind::searchReply, "urn:dial-multiscreen-org:service:dial:1", "u2", ""},
        {"an empty line first, spaces in the status line, a folded header",
         "\r\nHTTP/1.1   200   OK\r\nST: urn:samsung.com:\r\n "
         "device:RemoteControlReceiver:1\r\n\r\n",
         SsdpKind::searchReply, "urn:samsung.com: device:RemoteControlReceiver:1", "", ""},
        {"a header twice: the first counts; a line without a colon is skipped",
         "HTTP/1.1 200 OK\r\nnonsense\r\nST: first\r\nST: second\r\n\r\nST: body\r\n",
         SsdpKind::searchReply, "first", "", ""},
        {"an announcement",
         "NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nCACHE-CONTROL: max-age=1800\r\n"
         "LOCATION: http://192.168.1.20:7676/smp_15_\r\nNT: "
         "urn:samsung.com:device:RemoteControlReceiver:1\r\nNTS: ssdp:alive\r\nUSN: u3\r\n\r\n",
         SsdpKind::alive, remote, "u3", "http://192.168.1.20:7676/smp_15_"},
        {"a farewell, its NTS in capitals",
         "notify * HTTP/1.1\r\nNT: upnp:rootdevice\r\nNTS: SSDP:BYEBYE\r\n\r\n", SsdpKind::byebye,
         "upnp:rootdevice", "", ""},
        {"another host's search",
         "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: "
         "2\r\nST: ssdp:all\r\n\r\n",
         SsdpKind::search, "ssdp:all", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto message = parseSsdpMessage(c.datagram);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->kind, c.kind);
        EXPECT_EQ(message->target, c.target);
        EXPECT_EQ(message->usn, c.usn);
        EXPECT_EQ(message->location, c.location);
    }
}

TEST(SsdpMessage, WhatIsNoneOfThemIsNothing) {
    const std::string reply = "HTTP/1.1 200 OK\r\nST: " + std::string(remote) + "\r\n";
    const struct {
        const char* what;
        std::string datagram;
    } cases[] = {
        {"empty", ""},
        {"empty lines", "\r\n\r\n\n"},
        {"a reply without ST", "HTTP/1.1 200 OK\r\nUSN: u\r\nLOCATION: http://x/\r\n\r\n"},
        {"an ST of spaces", "HTTP/1.1 200 OK\r\nST:   \t\r\n\r\n"},
        {"the ST after the head", "HTTP/1.1 200 OK\r\n\r\nST: x\r\n"},
        {"another status", "HTTP/1.1 404 Not Found\r\nST: x\r\n\r\n"},
        {"a status of more digits", "HTTP/1.1 2000 OK\r\nST: x\r\n\r\n"},
        {"no version", "200 OK\r\nST: x\r\n\r\n"},
        {"another protocol", "HTTP/2 200 OK\r\nST: x\r\n\r\n"},
        {"an announcement without NTS", "NOTIFY * HTTP/1.1\r\nNT: x\r\n\r\n"},
        {"an update", "NOTIFY * HTTP/1.1\r\nNT: x\r\nNTS: ssdp:update\r\n\r\n"},
        {"an announcement without NT", "NOTIFY * HTTP/1.1\r\nNTS: ssdp:alive\r\n\r\n"},
        {"a search of a path", "M-SEARCH / HTTP/1.1\r\nST: x\r\n\r\n"},
        {"a request of another method", "GET * HTTP/1.1\r\nST: x\r\n\r\n"},
        {"a word too many", "NOTIFY * HTTP/1.1 now\r\nNT: x\r\nNTS: ssdp:alive\r\n\r\n"},
        {"bytes of no text", std::string("\x00\xff\x13\r\n\x80ST: x\r\n", 10)},
        {"longer than any real one", reply + std::string(platform::net::ssdpLongestMessage, 'x')},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(parseSsdpMessage(c.datagram)) << c.what;
    EXPECT_TRUE(parseSsdpMessage(reply)) << "control";
}

TEST(SsdpMessage, TheSearchAsSentAndTheTargetsOfATv) {
    EXPECT_EQ(platform::net::ssdpSearchRequest(remote, 1),
              "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n"
              "MX: 1\r\nST: urn:samsung.com:device:RemoteControlReceiver:1\r\n\r\n");
    for (const auto target : platform::net::tvSearchTargets) {
        const auto search = parseSsdpMessage(platform::net::ssdpSearchRequest(target, 1));
        ASSERT_TRUE(search);
        EXPECT_EQ(search->kind, SsdpKind::search);
        EXPECT_EQ(search->target, target);
        EXPECT_TRUE(isTvSearchTarget(target));
    }
    EXPECT_TRUE(isTvSearchTarget(" URN:Samsung.com:device:remotecontrolreceiver:1 "));
    EXPECT_FALSE(isTvSearchTarget("urn:samsung.com:device:RemoteControlReceiver:2"));
    EXPECT_FALSE(isTvSearchTarget("upnp:rootdevice"));
    EXPECT_FALSE(isTvSearchTarget("ssdp:all"));
    EXPECT_FALSE(isTvSearchTarget(""));
}

}  // namespace
