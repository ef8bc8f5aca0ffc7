#pragma once
// The time, as the program's waits and its judgement of file ages need it.
#include <chrono>

namespace platform {

class Clock {
  public:
    virtual ~Clock() = default;
    // For deadlines: never goes back.
    virtual std::chrono::steady_clock::time_point now() = 0;
    // Wall time, comparable with files' last-write times.
    virtual std::chrono::system_clock::time_point wallTime() = 0;
};

// The system's clocks, on every host.
class SystemClock final : public Clock {
  public:
    std::chrono::steady_clock::time_point now() override {
        return std::chrono::steady_clock::now();
    }
    std::chrono::system_clock::time_point wallTime() override {
        return std::chrono::system_clock::now();
    }
};

}  // namespace platform
