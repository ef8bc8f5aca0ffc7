#include "src/tvs/tv_search.h"

#include <algorithm>

#include "src/tvs/sweep_targets.h"

TvSearch::TvSearch(platform::System& system, std::function<void()> changed)
    : system_(system), changed_(std::move(changed)) {}

void TvSearch::start(const std::vector<platform::LocalAddress>& addresses) {
    networks_ = searchNetworks(addresses);
    hosts_.clear();
    for (const auto& network : networks_)
        hosts_.insert(network.hosts.begin(), network.hosts.end());
    local_.clear();
    for (const auto& address : addresses) {
        if (address.version == platform::IpVersion::v4)
            local_.push_back(address.text);
    }
    if (paused_) {
        searchDue_ = true;
        return;
    }
    startSearch();
    changed_();
}

void TvSearch::startSearch() {
    watch_.reset();
    search_.reset();
    watched_.clear();
    seen_.clear();
    const unsigned number = ++number_;
    // The hosts this PC already knows there are knocked at first; any other is none of ours.
    std::vector<std::wstring> named;
    try {
        for (auto& host : system_.addresses.neighbours()) {
            if (hosts_.contains(host) &&
                std::find(named.begin(), named.end(), host) == named.end()) {
                named.push_back(std::move(host));
            }
        }
    } catch (const std::exception&) {
        // The sweep reaches them all the same.
    }
    platform::SearchEvents events;
    events.found = [this, number](const platform::FoundHost& host) {
        post([this, number, host] { heard(number, host); });
    };
    events.finished = [this, number](const platform::SearchReport&) {
        post([this, number] { finished(number); });
    };
    try {
        search_ = system_.network.search(networks_, named, searchLimits_, std::move(events));
    } catch (const std::exception&) {
        search_.reset();
    }
}

void TvSearch::startWatch() {
    watch_.reset();
    watched_ = listedTvs();
    const unsigned number = ++number_;
    try {
        watch_ = system_.network.watch(networks_, watched_, watchLimits_,
                                       [this, number](const platform::FoundHost& host) {
                                           post([this, number, host] { heard(number, host); });
                                       });
    } catch (const std::exception&) {
        watch_.reset();
    }
}

void TvSearch::post(std::function<void()> message) {
    system_.loop.post(std::move(message));
}

void TvSearch::heard(unsigned number, const platform::FoundHost& host) {
    if (number != number_ || system_.loop.terminated())
        return;
    if (search_)
        seen_.insert(host.address);
    if (!mergeFound(found_, judgeFound(host, local_)))
        return;
    // A TV announced while idle is asked again from then on, as the others are.
    if (watch_ && listedTvs() != watched_)
        startWatch();
    changed_();
}

void TvSearch::finished(unsigned number) {
    if (number != number_ || !search_ || system_.loop.terminated())
        return;
    search_.reset();
    // What this search did not find again is gone.
    std::erase_if(found_, [&](const FoundTv& tv) { return !seen_.contains(tv.address); });
    seen_.clear();
    startWatch();
    changed_();
}

std::vector<std::wstring> TvSearch::listedTvs() const {
    std::vector<std::wstring> tvs;
    for (const auto& tv : found_) {
        if (tv.isTv)
            tvs.push_back(tv.address);
    }
    return tvs;
}

void TvSearch::pause() {
    paused_ = true;
    ++number_;  // what either posted meanwhile is dropped
    watch_.reset();
    if (search_) {
        search_.reset();
        searchDue_ = true;
        changed_();
    }
}

void TvSearch::resume() noexcept {
    if (!paused_)
        return;
    paused_ = false;
    try {
        if (system_.loop.terminated())
            return;
        if (searchDue_) {
            searchDue_ = false;
            startSearch();
        } else {
            startWatch();
        }
        // The window learns it after the run's own last word.
        const unsigned number = number_;
        post([this, number] {
            if (number == number_)
                changed_();
        });
    } catch (...) {
        // Nothing more is sent until the next refresh.
    }
}
