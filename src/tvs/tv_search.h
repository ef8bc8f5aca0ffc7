#pragma once
// The search for TVs on this PC's networks, in the background: the window never waits for it.
// Each host found is listed as soon as it is known; once the search has ended, the TVs listed are
// kept current (asked again, and announced ones added) while no run is under way.
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/system.h"
#include "src/tvs/found_tvs.h"

class TvSearch {
  public:
    // `changed` runs on the GUI thread each time the list of TVs found, or whether a search is
    // under way, has changed.
    TvSearch(platform::System& system, std::function<void()> changed);
    TvSearch(const TvSearch&) = delete;
    TvSearch& operator=(const TvSearch&) = delete;

    // Looks for TVs on the networks of these addresses of this PC, cancelling a search still
    // running. The TVs listed stay until the new search ends without finding them again.
    void start(const std::vector<platform::LocalAddress>& addresses);
    // A run starts: nothing is sent until it ends. A search still running is dropped, and made
    // again when the run ends.
    void pause();
    void resume() noexcept;

    // In address order.
    const std::vector<FoundTv>& found() const { return found_; }
    // True while a search is under way: the list may still grow.
    bool searching() const { return search_ != nullptr; }

  private:
    void startSearch();
    void startWatch();
    void heard(unsigned number, const platform::FoundHost& host);
    void finished(unsigned number);
    std::vector<std::wstring> listedTvs() const;
    // From the network thread: `message` runs on the GUI thread.
    void post(std::function<void()> message);

    platform::System& system_;
    std::function<void()> changed_;
    const platform::SearchLimits searchLimits_;
    const platform::WatchLimits watchLimits_;
    std::vector<platform::SearchNetwork> networks_;
    std::set<std::wstring> hosts_;     // every host of networks_
    std::vector<std::wstring> local_;  // this PC's IPv4 addresses, to judge the TVs by
    std::unique_ptr<platform::PendingSearch> search_;
    std::unique_ptr<platform::PendingSearch> watch_;
    std::vector<std::wstring> watched_;  // the TVs the watch asks again
    std::set<std::wstring> seen_;        // what the running search has found so far
    unsigned number_ = 0;  // of the search or watch running: a message of an earlier one is dropped
    bool paused_ = false;
    bool searchDue_ = false;  // a search was dropped or asked for during a run
    std::vector<FoundTv> found_;
};
