#pragma once
// The listed TVs kept current on the network thread: asked again every interval, and a host that
// announces itself knocked at.
#include <asio.hpp>

#include <array>
#include <deque>
#include <memory>
#include <set>
#include <vector>

#include "platform/net/host_search.h"
#include "platform/net/tv_operations.h"
#include "platform/network.h"

namespace platform::net::detail {

class HostWatch final : public std::enable_shared_from_this<HostWatch> {
  public:
    HostWatch(asio::io_context& io, const std::vector<SearchNetwork>& networks,
              const std::vector<std::wstring>& listed, const WatchLimits& limits,
              std::function<void(const FoundHost& host)> answered);
    // On the network thread.
    void start();
    // From any thread: no callback runs after this returns.
    void cancel();

  private:
    void listen();
    void receive(int errors = 0);
    void nextRound();
    void ask(std::size_t listed);
    void announceNext();
    void report(const FoundHost& host);

    asio::io_context& io_;
    const std::vector<SearchNetwork> networks_;
    const HostSet set_;
    const WatchLimits limits_;
    const std::function<void(const FoundHost&)> answered_;
    Gate gate_;
    // The rest is the network thread's alone.
    std::vector<asio::ip::address_v4> listed_;
    std::vector<bool> asking_;
    std::set<std::uint32_t> known_;  // listed or announced already: each knocked at once
    std::deque<asio::ip::address_v4> announced_;
    bool announcing_ = false;  // the gap after the last announced host is running
    asio::steady_timer round_;
    asio::steady_timer gap_;
    asio::ip::udp::socket notify_;
    asio::ip::udp::endpoint from_;
    std::array<char, 4096> buffer_{};
    Running running_;
    std::vector<std::weak_ptr<HostSearch>> probes_;
    bool cancelled_ = false;
};

}  // namespace platform::net::detail
