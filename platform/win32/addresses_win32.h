#pragma once
#include <memory>

#include "platform/addresses.h"

namespace platform::win32 {

class SystemLibrary;

// Unicast addresses of the adapters that are up and are not loopback, as GetAdaptersAddresses
// reports them.
class AdapterAddresses final : public AddressSource {
  public:
    AdapterAddresses();
    ~AdapterAddresses() override;
    std::vector<LocalAddress> localAddresses() override;

  private:
    std::unique_ptr<SystemLibrary> library_;  // iphlpapi.dll, loaded at first use
};

}  // namespace platform::win32
