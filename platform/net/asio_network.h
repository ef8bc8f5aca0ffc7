#pragma once
// The network questions over Asio, on one thread of their own, on every host.
#include <memory>

#include "platform/network.h"
#include "platform/process.h"

namespace platform::net {

class AsioNetwork final : public Network {
  public:
    // Signals for the GUI thread's waits come from `processes`.
    explicit AsioNetwork(Processes& processes);
    AsioNetwork(const AsioNetwork&) = delete;
    AsioNetwork& operator=(const AsioNetwork&) = delete;
    ~AsioNetwork() override;

    std::unique_ptr<PendingAnswers> askTv(const std::wstring& address,
                                          const TvQuestionLimits& limits) override;
    std::unique_ptr<PendingSearch> search(const std::vector<SearchNetwork>& networks,
                                          const std::vector<std::wstring>& named,
                                          const SearchLimits& limits, SearchEvents events) override;
    std::unique_ptr<PendingSearch> watch(
        const std::vector<SearchNetwork>& networks, const std::vector<std::wstring>& listed,
        const WatchLimits& limits, std::function<void(const FoundHost& host)> answered) override;

  private:
    struct Engine;
    Processes& processes_;
    std::unique_ptr<Engine> engine_;
};

}  // namespace platform::net
