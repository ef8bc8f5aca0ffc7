#pragma once
// The search for TVs on this PC's networks, in the background: the window never waits for it.
#include <functional>
#include <memory>
#include <vector>

#include "platform/system.h"
#include "src/tvs/found_tvs.h"

class TvSearch {
  public:
    // `changed` runs on the GUI thread each time the list of TVs found has changed.
    TvSearch(platform::System& system, std::function<void()> changed);
    TvSearch(const TvSearch&) = delete;
    TvSearch& operator=(const TvSearch&) = delete;

    // Looks for TVs on the networks of these addresses of this PC, cancelling a search still
    // running.
    void start(const std::vector<platform::LocalAddress>& addresses);
    // What the last search that ended found.
    const std::vector<FoundTv>& found() const { return found_; }

  private:
    void finished(unsigned search);

    platform::System& system_;
    std::function<void()> changed_;
    std::unique_ptr<platform::PendingSweep> sweep_;
    unsigned number_ = 0;  // a finished search that is not the latest one is ignored
    std::vector<FoundTv> found_;
};
