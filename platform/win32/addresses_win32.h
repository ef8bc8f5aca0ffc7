#pragma once
#include "platform/addresses.h"

namespace platform::win32 {

// Unicast addresses of the adapters that are up and are not loopback, as GetAdaptersAddresses
// reports them.
class AdapterAddresses final : public AddressSource {
  public:
    std::vector<LocalAddress> localAddresses() override;
};

}  // namespace platform::win32
