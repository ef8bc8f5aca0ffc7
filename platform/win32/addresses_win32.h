#pragma once
#include <memory>

#include "platform/addresses.h"

namespace platform::win32 {

class SystemLibrary;

// Unicast addresses of the adapters that are up and are not loopback, as GetAdaptersAddresses
// reports them; the neighbours from GetIpNetTable2.
class AdapterAddresses final : public AddressSource {
  public:
    AdapterAddresses();
    ~AdapterAddresses() override;
    std::vector<LocalAddress> localAddresses() override;
    std::vector<std::wstring> neighbours() override;

  private:
    SystemLibrary& library();

    std::unique_ptr<SystemLibrary> library_;  // iphlpapi.dll, loaded at first use
};

}  // namespace platform::win32
