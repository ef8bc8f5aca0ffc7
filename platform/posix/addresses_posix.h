#pragma once
#include "platform/addresses.h"

namespace platform::posix {

// Addresses of the interfaces that are up and are not loopback, as getifaddrs reports them.
class IfaddrsAddresses final : public AddressSource {
  public:
    std::vector<LocalAddress> localAddresses() override;
};

}  // namespace platform::posix
