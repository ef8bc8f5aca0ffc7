#pragma once
#include "platform/addresses.h"

namespace platform::memory {

// An address source whose answers the test sets; it counts the queries.
class FakeAddresses final : public AddressSource {
  public:
    std::vector<LocalAddress> addresses;
    std::vector<std::wstring> knownHosts;  // the neighbour table
    int queries = 0;
    std::vector<LocalAddress> localAddresses() override {
        ++queries;
        return addresses;
    }
    std::vector<std::wstring> neighbours() override { return knownHosts; }
};

}  // namespace platform::memory
