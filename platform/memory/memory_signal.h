#pragma once
// A signal without a system object, for fakes that decide themselves when work is done.
#include <atomic>

#include "platform/process.h"

namespace platform::memory {

class MemorySignal final : public Signal {
  public:
    void set() override { set_ = true; }
    bool isSet() const { return set_; }
    std::intptr_t systemHandle() const override { return -1; }

  private:
    std::atomic<bool> set_{false};
};

}  // namespace platform::memory
