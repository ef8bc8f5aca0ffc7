#pragma once
// No test times the program: a limit on a wait for something that must happen (a window, a file,
// an answer, a process's end) only catches a hang, and is generous. QUORVEX_TEST_TIME_FACTOR (a
// whole number, 1 unless set; tests/time-limits.sh) stretches every such limit on a machine
// slower still.
#include <chrono>
#include <cstdlib>

namespace test_time {

inline int factor() {
    const char* text = std::getenv("QUORVEX_TEST_TIME_FACTOR");
    const int value = text != nullptr ? std::atoi(text) : 1;
    return value >= 1 ? value : 1;
}

// A hang-catching limit, stretched by the factor.
template <typename Rep, typename Period>
std::chrono::duration<Rep, Period> limit(std::chrono::duration<Rep, Period> limit) {
    return limit * factor();
}

// The same in milliseconds, for the Windows waits.
inline unsigned long limitMs(unsigned long ms) {
    return ms * static_cast<unsigned long>(factor());
}

}  // namespace test_time
