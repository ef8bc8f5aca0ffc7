#include "src/tvs/tv_check.h"

#include <algorithm>

#include "src/tvs/local_address_list.h"

using namespace std::chrono_literals;

namespace {

// Each question has its own, shorter limit; this only keeps a network layer that never answers
// from holding the run.
constexpr auto checkBackstop = 5s;

std::chrono::milliseconds until(std::chrono::steady_clock::time_point then,
                                std::chrono::steady_clock::time_point now) {
    return then > now ? std::chrono::ceil<std::chrono::milliseconds>(then - now) : 0ms;
}

}  // namespace

std::unique_ptr<platform::PendingAnswers> askTv(platform::Network& network,
                                                const std::wstring& address) {
    try {
        return network.askTv(address, {});
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::optional<TvVerdict> awaitVerdict(platform::System& system, platform::PendingAnswers& pending) {
    const auto deadline = system.clock.now() + checkBackstop;
    for (;;) {
        const auto result =
            system.processes.wait(&pending.done(), true, until(deadline, system.clock.now()));
        if (result != platform::WaitResult::inputWaiting)
            break;
        system.loop.processMessages();
        if (system.loop.terminated())
            return std::nullopt;
    }
    return judgeTv(pending.answers(), localIpv4AddressesOrNone(system.addresses));
}

void followTv(platform::System& system, const std::wstring& address, RestartWait& wait,
              const std::function<void()>& shown) {
    using State = RestartWait::State;
    auto& clock = system.clock;
    std::unique_ptr<platform::PendingAnswers> pending;
    auto askedAt = clock.now();
    auto nextAsk = askedAt + RestartWait::askEvery;  // the check has just asked
    auto shownAt = wait.elapsed(clock.now());
    shown();
    while (wait.state() == State::waiting) {
        if (system.loop.terminated()) {
            wait.cancel();
            break;
        }
        auto now = clock.now();
        if (wait.tick(now) != State::waiting)
            break;
        if (pending && now >= askedAt + checkBackstop)
            pending.reset();  // abandoned: the next question may do better
        if (!pending && now >= nextAsk) {
            pending = askTv(system.network, address);
            askedAt = now;
            nextAsk = now + RestartWait::askEvery;
        }
        // Wake for the next whole second shown, the next question, or the limit.
        auto wake = std::min(wait.start() + wait.elapsed(now) + 1s, wait.deadline());
        wake = std::min(wake, pending ? askedAt + checkBackstop : nextAsk);
        const auto result =
            system.processes.wait(pending ? &pending->done() : nullptr, true, until(wake, now));
        if (result == platform::WaitResult::inputWaiting) {
            system.loop.processMessages();
            continue;  // a handler may have cancelled the wait, or the program be ending
        }
        if (result == platform::WaitResult::failed) {
            // Nothing more can be learnt: what the TV last said stands.
            wait.tick(wait.deadline());
            break;
        }
        if (result == platform::WaitResult::signalled && pending) {
            const auto verdict =
                judgeTv(pending->answers(), localIpv4AddressesOrNone(system.addresses));
            pending.reset();
            if (wait.seen(verdict, clock.now()) != State::waiting)
                break;
            shown();
            shownAt = wait.elapsed(clock.now());
            continue;
        }
        if (const auto elapsed = wait.elapsed(clock.now()); elapsed != shownAt) {
            shownAt = elapsed;
            shown();
        }
    }
}
