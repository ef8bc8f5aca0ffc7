#include "src/install/command_runner.h"

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineAfter(Clock::time_point now, std::chrono::milliseconds limit) {
    if (limit == platform::waitForever || limit >= Clock::time_point::max() - now)
        return Clock::time_point::max();
    return now + limit;
}

std::chrono::milliseconds left(Clock::time_point deadline, Clock::time_point now) {
    if (deadline == Clock::time_point::max())
        return platform::waitForever;
    return std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - now),
                    std::chrono::milliseconds(0));
}

}  // namespace

CommandEnd runCommand(platform::Processes& processes, platform::MessageLoop& loop,
                      platform::Clock& clock, std::wstring commandLine,
                      const CommandLimits& limits) {
    const auto child = processes.start(commandLine);
    if (!child)
        return CommandEnd::notStarted;
    const auto started = clock.now();
    const auto totalDeadline = deadlineAfter(started, limits.total);
    auto quitDeadline = Clock::time_point::max();
    bool quitSeen = false;
    for (;;) {
        const auto now = clock.now();
        const bool ending = loop.terminated();
        if (ending && !quitSeen) {
            // A quit ends the serving of input; the child gets its last grace period.
            quitSeen = true;
            quitDeadline = std::min(deadlineAfter(now, limits.afterQuit), totalDeadline);
        }
        const auto deadline = ending ? quitDeadline : totalDeadline;
        switch (processes.wait(child.get(), !ending, left(deadline, now))) {
            case platform::WaitResult::signalled:
                return CommandEnd::ended;
            case platform::WaitResult::inputWaiting:
                loop.processMessages();
                break;
            case platform::WaitResult::timedOut:
            case platform::WaitResult::failed:
                return CommandEnd::leftRunning;
        }
    }
}

void serveInputFor(platform::Processes& processes, platform::MessageLoop& loop,
                   platform::Clock& clock, std::chrono::milliseconds duration) {
    const auto deadline = deadlineAfter(clock.now(), duration);
    for (;;) {
        const bool ending = loop.terminated();
        const auto result = processes.wait(nullptr, !ending, left(deadline, clock.now()));
        if (result != platform::WaitResult::inputWaiting)
            return;
        loop.processMessages();
    }
}
