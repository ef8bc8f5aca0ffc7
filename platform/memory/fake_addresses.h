#pragma once
#include "platform/addresses.h"

namespace platform::memory {

// An address source whose answer the test sets; it counts the queries.
class FakeAddresses final : public AddressSource {
  public:
    std::vector<LocalAddress> addresses;
    int queries = 0;
    std::vector<LocalAddress> localAddresses() override {
        ++queries;
        return addresses;
    }
};

}  // namespace platform::memory
