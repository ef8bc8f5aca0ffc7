#include "platform/posix/addresses_posix.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <memory>

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
        result.push_back({family == AF_INET ? IpVersion::v4 : IpVersion::v6, fromUtf8(text), prefix});
    }
    return result;
}

}  // namespace platform::posix
