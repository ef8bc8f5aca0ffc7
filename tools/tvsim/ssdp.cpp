#include "tools/tvsim/ssdp.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <initializer_list>
#include <optional>
#include <utility>

#include "tools/tvsim/device_description.h"

namespace tvsim {

namespace {

struct Service {
    const char* target;
    int port;  // where the set serves that device's UPnP description (nothing here serves it)
    const char* path;
};

// Ports and paths as Samsung sets announce them.
constexpr Service kServices[] = {
    {"urn:samsung.com:device:RemoteControlReceiver:1", 7676, "/rcr/"},
    {"urn:schemas-upnp-org:device:MediaRenderer:1", 9197, "/dmr"},
    {"urn:dial-multiscreen-org:service:dial:1", 7678, "/nservice/"},
};

constexpr const char* kServer = "Samsung-Linux/4.1, UPnP/1.0, Samsung_UPnP_SDK/1.0";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool isToken(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7f && c != ':';
    });
}

std::string location(const TvOptions& options, const Service& service) {
    return "http://" + options.address + ":" + std::to_string(service.port) + service.path;
}

std::string usn(const TvOptions& options, const Service& service) {
    return deviceUuid(options) + "::" + service.target;
}

std::string httpDate(std::time_t now) {
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return text;
}

// The start line, each header as "NAME: value" (an empty value keeps its blank, as Samsung sets
// send "EXT: "), every line CRLF-ended, and the empty line.
std::string message(std::string_view start,
                    std::initializer_list<std::pair<const char*, std::string>> headers) {
    std::string out = std::string(start) + "\r\n";
    for (const auto& [name, value] : headers) {
        out += std::string(name) + ": " + value + "\r\n";
    }
    return out + "\r\n";
}

}  // namespace

std::variant<SsdpSearch, std::string> parseSsdpSearch(std::string_view datagram, bool multicast) {
    const auto headEnd = datagram.find("\r\n\r\n");
    const auto firstEnd = datagram.find("\r\n");
    if (datagram.substr(0, firstEnd) != "M-SEARCH * HTTP/1.1") {
        return std::string("not an M-SEARCH");
    }
    if (headEnd == std::string_view::npos) {
        return std::string("no empty line after the headers");
    }
    std::optional<std::string_view> man, st, mx;
    for (std::size_t at = firstEnd + 2; at < headEnd + 2;) {
        const auto end = datagram.find("\r\n", at);
        const std::string_view line = datagram.substr(at, end - at);
        at = end + 2;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon)) ||
            line.find_first_of("\r\n") != std::string_view::npos) {
            return "a malformed header line: " + std::string(line.substr(0, 80));
        }
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = trimmed(line.substr(colon + 1));
        for (auto [known, slot] : {std::pair{"MAN", &man}, {"ST", &st}, {"MX", &mx}}) {
            if (sameName(name, known)) {
                if (*slot) {
                    return std::string(known) + " given twice";
                }
                *slot = value;
            }
        }
    }
    if (man != "\"ssdp:discover\"") {
        return "MAN is not \"ssdp:discover\"";
    }
    if (!st || st->empty()) {
        return std::string("no ST");
    }
    SsdpSearch search{std::string(*st), 0};
    if (multicast) {
        // MX is required for a search of the group; more than 5 counts as 5.
        if (!mx || mx->empty() || mx->size() > 9 ||
            mx->find_first_not_of("0123456789") != std::string_view::npos) {
            return std::string("no MX, or not a number of seconds");
        }
        search.mx = std::min(std::stoi(std::string(*mx)), 5);
        if (search.mx < 1) {
            return std::string("MX below 1");
        }
    }
    return search;
}

std::vector<std::string> ssdpAnswers(const TvOptions& options, const SsdpSearch& search,
                                     std::time_t now) {
    std::vector<std::string> answers;
    for (const auto& service : kServices) {
        if (search.target == "ssdp:all" || search.target == service.target) {
            answers.push_back(message("HTTP/1.1 200 OK", {{"CACHE-CONTROL", "max-age=1800"},
                                                          {"DATE", httpDate(now)},
                                                          {"EXT", ""},
                                                          {"LOCATION", location(options, service)},
                                                          {"SERVER", kServer},
                                                          {"ST", service.target},
                                                          {"USN", usn(options, service)},
                                                          {"Content-Length", "0"}}));
        }
    }
    return answers;
}

std::vector<std::string> ssdpAliveNotices(const TvOptions& options) {
    std::vector<std::string> notices;
    for (const auto& service : kServices) {
        notices.push_back(message("NOTIFY * HTTP/1.1", {{"HOST", std::string(kSsdpGroup) + ":" +
                                                                     std::to_string(kSsdpPort)},
                                                        {"CACHE-CONTROL", "max-age=1800"},
                                                        {"LOCATION", location(options, service)},
                                                        {"NT", service.target},
                                                        {"NTS", "ssdp:alive"},
                                                        {"SERVER", kServer},
                                                        {"USN", usn(options, service)},
                                                        {"Content-Length", "0"}}));
    }
    return notices;
}

std::chrono::milliseconds ssdpAnswerDelay(int optionMs, const SsdpSearch& search,
                                          std::uint32_t random) {
    const long long limit = search.mx * 1000LL;
    const long long wanted = optionMs < 0 ? (limit == 0 ? 0 : random % (limit + 1)) : optionMs;
    return std::chrono::milliseconds(std::min(wanted, limit));
}

}  // namespace tvsim
