#pragma once
#include <string_view>

#include "platform/addresses.h"

namespace platform::posix {

// Addresses of the interfaces that are up and are not loopback, as getifaddrs reports them; the
// neighbours from the kernel's ARP table (/proc/net/arp).
class IfaddrsAddresses final : public AddressSource {
  public:
    std::vector<LocalAddress> localAddresses() override;
    std::vector<std::wstring> neighbours() override;
};

// The hosts of /proc/net/arp's text whose entry is complete or permanent, with a hardware address.
std::vector<std::wstring> neighboursFromArpTable(std::string_view table);

}  // namespace platform::posix
