// The simulated TV's SSDP: which datagrams it takes for a search, and the answers and notices it
// sends, header by header, as a program that finds TVs reads them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tools/tvsim/device_description.h"
#include "tools/tvsim/options.h"
#include "tools/tvsim/ssdp.h"

namespace {

const std::vector<std::string> kTargets = {
    "urn:samsung.com:device:RemoteControlReceiver:1",
    "urn:schemas-upnp-org:device:MediaRenderer:1",
    "urn:dial-multiscreen-org:service:dial:1",
};

tvsim::TvOptions tvAt(const std::string& address) {
    auto parsed =
        tvsim::parseOptions({"--address", address, "--state", "/tmp/tv", "--year", "2019"});
    return std::get<tvsim::TvOptions>(parsed);
}

std::string search(const std::string& headers) {
    return "M-SEARCH * HTTP/1.1\r\n" + headers + "\r\n";
}

// A message's start line and headers (names upper-cased); fails the test when a line does not
// end in CRLF, a header is given twice, or the message does not end with an empty line.
struct Message {
    std::string startLine;
    std::map<std::string, std::string> headers;
};

Message parsed(const std::string& text) {
    Message message;
    EXPECT_EQ(text.find("\r\n\r\n"), text.size() - 4) << text;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos && end > at;
         at = end + 2) {
        const std::string line = text.substr(at, end - at);
        EXPECT_EQ(line.find('\n'), std::string::npos) << text;
        if (message.startLine.empty()) {
            message.startLine = line;
            continue;
        }
        const auto colon = line.find(':');
        EXPECT_NE(colon, std::string::npos) << line;
        std::string name = line.substr(0, colon);
        for (char& c : name) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        const auto value = line.find_first_not_of(' ', colon + 1);
        EXPECT_TRUE(
            message.headers.emplace(name, value == std::string::npos ? "" : line.substr(value))
                .second)
            << name << " twice in " << text;
    }
    return message;
}

TEST(SsdpSearch, TakesOnlyWellFormedSearches) {
    const std::string man = "MAN: \"ssdp:discover\"\r\n";
    const std::string rcr = "ST: " + kTargets[0] + "\r\n";
    struct Case {
        std::string datagram;
        bool multicast;
        const char* target;  // nullptr: ignored
        int mx;
    };
    const std::vector<Case> cases = {
        {search("HOST: 239.255.255.250:1900\r\n" + man + "MX: 1\r\n" + rcr), true,
         kTargets[0].c_str(), 1},
        // Names in any case, blanks around values, no HOST, a body after the head.
        {search("st:  ssdp:all \r\nman:\"ssdp:discover\"\r\nmx:\t3\r\n") + "ST: other", true,
         "ssdp:all", 3},
        {search(man + "MX: 120\r\n" + rcr), true, kTargets[0].c_str(), 5},
        // Sent to the TV itself: MX plays no part.
        {search(man + rcr), false, kTargets[0].c_str(), 0},
        {search(man + "MX: soon\r\n" + rcr), false, kTargets[0].c_str(), 0},
        {search(man + rcr), true, nullptr, 0},
        {search(man + "MX: 0\r\n" + rcr), true, nullptr, 0},
        {search(man + "MX: -1\r\n" + rcr), true, nullptr, 0},
        {search(man + "MX: 1.5\r\n" + rcr), true, nullptr, 0},
        {search(man + "MX: 99999999999999999999\r\n" + rcr), true, nullptr, 0},
        {search("MAN: ssdp:discover\r\nMX: 1\r\n" + rcr), true, nullptr, 0},
        {search("MAN: \"ssdp:alive\"\r\nMX: 1\r\n" + rcr), true, nullptr, 0},
        {search("MX: 1\r\n" + rcr), true, nullptr, 0},
        {search(man + "MX: 1\r\n"), true, nullptr, 0},
        {search(man + "MX: 1\r\nST:\r\n"), true, nullptr, 0},
        {search(man + "MX: 1\r\n" + rcr + "ST: ssdp:all\r\n"), true, nullptr, 0},
        {search(man + "MX: 1\r\n" + rcr + "no colon here\r\n"), true, nullptr, 0},
        {search(man + "MX: 1\r\n: nameless\r\n" + rcr), true, nullptr, 0},
        {search(man + "MX: 1\r\nST: a\rb\r\n"), true, nullptr, 0},
        {"M-SEARCH * HTTP/1.1\r\n" + man + "MX: 1\r\n" + rcr, true, nullptr, 0},  // no empty line
        {"M-SEARCH * HTTP/1.1\nMAN: \"ssdp:discover\"\nMX: 1\nST: ssdp:all\n\n", true, nullptr, 0},
        {"m-search * HTTP/1.1\r\n" + man + "MX: 1\r\n" + rcr + "\r\n", true, nullptr, 0},
        {"M-SEARCH / HTTP/1.1\r\n" + man + "MX: 1\r\n" + rcr + "\r\n", true, nullptr, 0},
        {"M-SEARCH * HTTP/1.0\r\n" + man + "MX: 1\r\n" + rcr + "\r\n", true, nullptr, 0},
        {"NOTIFY * HTTP/1.1\r\nNTS: ssdp:alive\r\nNT: ssdp:all\r\n\r\n", true, nullptr, 0},
        {"", true, nullptr, 0},
    };
    for (const auto& c : cases) {
        const auto result = tvsim::parseSsdpSearch(c.datagram, c.multicast);
        const auto* taken = std::get_if<tvsim::SsdpSearch>(&result);
        if (c.target) {
            ASSERT_TRUE(taken) << c.datagram << ": " << std::get<std::string>(result);
            EXPECT_EQ(taken->target, c.target) << c.datagram;
            EXPECT_EQ(taken->mx, c.mx) << c.datagram;
        } else {
            EXPECT_FALSE(taken) << c.datagram;
            EXPECT_FALSE(!taken && std::get<std::string>(result).empty()) << c.datagram;
        }
    }
}

TEST(SsdpAnswers, OnePerTargetWithTheHeadersSamsungSetsSend) {
    const tvsim::TvOptions tv = tvAt("10.213.0.2");
    // The USN carries the description's own id, so that a finder can tell the two belong.
    const std::string description = tvsim::apiV2Description(tv);
    const std::string id = tvsim::deviceUuid(tv);
    ASSERT_NE(description.find("\"id\":\"" + id + "\""), std::string::npos);
    std::map<std::string, std::string> locations;
    for (const auto& target : kTargets) {
        const auto answers = tvsim::ssdpAnswers(tv, {target, 1}, 86400);
        ASSERT_EQ(answers.size(), 1u) << target;
        const Message answer = parsed(answers[0]);
        EXPECT_EQ(answer.startLine, "HTTP/1.1 200 OK");
        EXPECT_EQ(answer.headers.at("CACHE-CONTROL"), "max-age=1800");
        EXPECT_EQ(answer.headers.at("DATE"), "Fri, 02 Jan 1970 00:00:00 GMT");
        EXPECT_EQ(answer.headers.count("EXT"), 1u);
        EXPECT_EQ(answer.headers.at("ST"), target);
        EXPECT_EQ(answer.headers.at("USN"), id + "::" + target);
        EXPECT_EQ(answer.headers.at("LOCATION").rfind("http://10.213.0.2:", 0), 0u);
        EXPECT_NE(answer.headers.at("SERVER").find("UPnP/1.0"), std::string::npos);
        EXPECT_EQ(answer.headers.at("CONTENT-LENGTH"), "0");
        locations[target] = answer.headers.at("LOCATION");
    }
    EXPECT_EQ(locations.size(), 3u);
    // ssdp:all: the same three answers, in the same order.
    const auto all = tvsim::ssdpAnswers(tv, {"ssdp:all", 3}, 86400);
    ASSERT_EQ(all.size(), 3u);
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i], tvsim::ssdpAnswers(tv, {kTargets[i], 3}, 86400).at(0));
    }
    // Another TV answers with its own address and id.
    const auto other = parsed(tvsim::ssdpAnswers(tvAt("10.213.0.3"), {kTargets[0], 1}, 0).at(0));
    EXPECT_EQ(other.headers.at("LOCATION").rfind("http://10.213.0.3:", 0), 0u);
    EXPECT_NE(other.headers.at("USN"), id + "::" + kTargets[0]);
    for (const char* target : {"upnp:rootdevice", "urn:samsung.com:device:remotecontrolreceiver:1",
                               "urn:schemas-upnp-org:device:MediaRenderer:2", "ssdp:al", ""}) {
        EXPECT_TRUE(tvsim::ssdpAnswers(tv, {target, 1}, 0).empty()) << target;
    }
}

TEST(SsdpAliveNotices, OnePerTargetForTheGroup) {
    const tvsim::TvOptions tv = tvAt("10.213.0.7");
    const auto notices = tvsim::ssdpAliveNotices(tv);
    ASSERT_EQ(notices.size(), kTargets.size());
    for (std::size_t i = 0; i < notices.size(); ++i) {
        const Message notice = parsed(notices[i]);
        const Message answer = parsed(tvsim::ssdpAnswers(tv, {kTargets[i], 1}, 0).at(0));
        EXPECT_EQ(notice.startLine, "NOTIFY * HTTP/1.1");
        EXPECT_EQ(notice.headers.at("HOST"), "239.255.255.250:1900");
        EXPECT_EQ(notice.headers.at("NTS"), "ssdp:alive");
        EXPECT_EQ(notice.headers.at("NT"), kTargets[i]);
        EXPECT_EQ(notice.headers.at("USN"), answer.headers.at("USN"));
        EXPECT_EQ(notice.headers.at("LOCATION"), answer.headers.at("LOCATION"));
        EXPECT_EQ(notice.headers.at("CACHE-CONTROL"), "max-age=1800");
        EXPECT_EQ(notice.headers.count("ST"), 0u);
    }
}

TEST(SsdpAnswerDelay, NeverBeyondTheSearchesMx) {
    struct Case {
        int optionMs;
        int mx;
        std::uint32_t random;
        long long ms;
    };
    const std::vector<Case> cases = {
        {0, 3, 12345, 0},
        {300, 1, 0, 300},
        {5000, 2, 0, 2000},
        {300, 0, 0, 0},  // a search of this TV alone is answered at once
        // At random: anywhere from 0 to MX, both ends included.
        {-1, 2, 0, 0},
        {-1, 2, 2000, 2000},
        {-1, 2, 2001, 0},
        {-1, 5, 0xffffffff, 3474},
        {-1, 0, 0xffffffff, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tvsim::ssdpAnswerDelay(c.optionMs, {"ssdp:all", c.mx}, c.random).count(), c.ms)
            << c.optionMs << " " << c.mx << " " << c.random;
    }
}

}  // namespace
