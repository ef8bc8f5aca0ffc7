#pragma once
// A clock the tests move by hand: waits that "pass time" advance it instead of sleeping.
#include "platform/clock.h"

namespace platform::memory {

class FakeClock final : public Clock {
  public:
    std::chrono::steady_clock::time_point now() override { return steady; }
    std::chrono::system_clock::time_point wallTime() override { return wall; }
    void advance(std::chrono::milliseconds by) {
        steady += by;
        wall += by;
    }

    std::chrono::steady_clock::time_point steady{std::chrono::hours(1000)};
    std::chrono::system_clock::time_point wall{std::chrono::hours(24 * 365 * 50)};
};

}  // namespace platform::memory
