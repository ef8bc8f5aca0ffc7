#include "src/tvs/tv_search.h"

#include "src/tvs/local_address_list.h"
#include "src/tvs/sweep_targets.h"

TvSearch::TvSearch(platform::System& system, std::function<void()> changed)
    : system_(system), changed_(std::move(changed)) {}

void TvSearch::start(const std::vector<platform::LocalAddress>& addresses) {
    sweep_.reset();  // a search still running is cancelled
    const unsigned number = ++number_;
    auto& loop = system_.loop;
    sweep_ = system_.network.sweep(sweepTargets(addresses), {}, [&loop, this, number] {
        loop.post([this, number] { finished(number); });
    });
}

void TvSearch::finished(unsigned search) {
    if (search != number_ || !sweep_ || system_.loop.terminated())
        return;
    found_ = judgeFound(sweep_->report(), localIpv4AddressesOrNone(system_.addresses));
    sweep_.reset();
    changed_();
}
