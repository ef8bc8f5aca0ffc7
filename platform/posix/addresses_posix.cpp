#include "platform/posix/addresses_posix.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/error.h"
#include "platform/text.h"

namespace platform::posix {

std::vector<LocalAddress> IfaddrsAddresses::localAddresses() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        throw Error(L"The list of this computer's network addresses is not available: " +
                    fromUtf8(std::strerror(errno)));
    }
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
    std::vector<LocalAddress> result;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || (entry->ifa_flags & IFF_UP) == 0 ||
            (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        const int family = entry->ifa_addr->sa_family;
        char text[INET6_ADDRSTRLEN] = {};
        const void* raw = nullptr;
        if (family == AF_INET) {
            raw = &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
        } else if (family == AF_INET6) {
            raw = &reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr)->sin6_addr;
        } else {
            continue;
        }
        if (inet_ntop(family, raw, text, sizeof text) == nullptr)
            continue;
        int prefix = -1;
        if (family == AF_INET && entry->ifa_netmask != nullptr) {
            const auto mask =
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
            prefix = __builtin_popcount(mask);
        }
        result.push_back(
            {family == AF_INET ? IpVersion::v4 : IpVersion::v6, fromUtf8(text), prefix});
    }
    return result;
}

std::vector<std::wstring> neighboursFromArpTable(std::string_view table) {
    // "IP address  HW type  Flags  HW address  Mask  Device", a heading line first.
    constexpr unsigned complete = 0x2;   // ATF_COM
    constexpr unsigned permanent = 0x4;  // ATF_PERM
    std::vector<std::wstring> hosts;
    std::istringstream lines{std::string(table)};
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string ip, type, flags, hardware;
        if (!(fields >> ip >> type >> flags >> hardware))
            continue;
        in_addr parsed{};
        unsigned long value = 0;
        try {
            value = std::stoul(flags, nullptr, 16);
        } catch (const std::exception&) {
            continue;
        }
        if ((value & (complete | permanent)) == 0 || inet_pton(AF_INET, ip.c_str(), &parsed) != 1 ||
            hardware.find_first_not_of("0:") == std::string::npos) {
            continue;
        }
        hosts.push_back(fromUtf8(ip));
    }
    return hosts;
}

std::vector<std::wstring> IfaddrsAddresses::neighbours() {
    std::ifstream file("/proc/net/arp");
    if (!file) {
        throw Error(L"The list of this computer's neighbours is not available: " +
                    fromUtf8(std::strerror(errno)));
    }
    std::ostringstream text;
    text << file.rdbuf();
    return neighboursFromArpTable(text.str());
}

}  // namespace platform::posix
