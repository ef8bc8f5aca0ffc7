#include "src/tvs/tv_check.h"

#include "src/tvs/local_address_list.h"

using namespace std::chrono_literals;

namespace {

// Each question has its own, shorter limit; this only keeps a network layer that never answers
// from holding the run.
constexpr auto checkBackstop = 5s;

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
        const auto now = system.clock.now();
        const auto left =
            deadline > now ? std::chrono::ceil<std::chrono::milliseconds>(deadline - now) : 0ms;
        const auto result = system.processes.wait(&pending.done(), true, left);
        if (result != platform::WaitResult::inputWaiting)
            break;
        system.loop.processMessages();
        if (system.loop.terminated())
            return std::nullopt;
    }
    return judgeTv(pending.answers(), localIpv4AddressesOrNone(system.addresses));
}
