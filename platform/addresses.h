#pragma once
// This computer's local addresses, in the order the system reports them.
#include <string>
#include <vector>

namespace platform {

enum class IpVersion { v4, v6 };

struct LocalAddress {
    IpVersion version;
    std::wstring text;      // dotted decimal for IPv4, the usual notation for IPv6
    int prefixLength = -1;  // the length of its network's prefix (24 for a /24), -1 unknown
};

class AddressSource {
  public:
    virtual ~AddressSource() = default;
    // Queries the system afresh on every call. Throws platform::Error when the query fails.
    virtual std::vector<LocalAddress> localAddresses() = 0;
    // The IPv4 hosts this computer knows are there already: its neighbour table's entries that
    // have a hardware address (dotted decimal). Throws platform::Error when the query fails.
    virtual std::vector<std::wstring> neighbours() = 0;
};

}  // namespace platform
