#pragma once
// The search for TVs on the network thread: SSDP, the named hosts and the sweep, within one bound
// of connections in flight.
#include <asio.hpp>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/net/tv_operations.h"
#include "platform/network.h"

namespace platform::net::detail {

// The hosts a search or a watch may contact, by address.
class HostSet {
  public:
    explicit HostSet(const std::vector<SearchNetwork>& networks);
    // The host's place in hosts(), or -1 when it may not be contacted.
    int find(const asio::ip::address_v4& address) const;
    const std::vector<asio::ip::address_v4>& hosts() const { return hosts_; }
    const std::vector<asio::ip::address_v4>& localAddresses() const { return local_; }

  private:
    std::vector<asio::ip::address_v4> hosts_;  // every network's hosts, once, in order
    std::vector<asio::ip::address_v4> local_;  // the networks' own addresses
    std::unordered_map<std::uint32_t, int> index_;
};

class HostSearch final : public std::enable_shared_from_this<HostSearch> {
  public:
    struct Options {
        bool ssdp = true;   // multicast M-SEARCHes and read the replies
        bool sweep = true;  // knock at every host, not only the named ones
    };

    HostSearch(asio::io_context& io, const std::vector<SearchNetwork>& networks,
               const std::vector<asio::ip::address_v4>& named, const SearchLimits& limits,
               SearchEvents events, Options options);
    // On the network thread.
    void start();
    // From any thread: no callback runs after this returns.
    void cancel();

  private:
    enum class Stage { waiting, knocking, done };
    enum class Port { description = 0, bridge = 1 };
    struct Host {
        bool named = false;
        Stage stage = Stage::waiting;
        bool answered = false;  // a knock was accepted or refused
        bool portOpen[2] = {false, false};
        bool bridgeKnockStarted = false;
        bool preempted = false;  // its first knock stopped to make room for a named host
        int busy = 0;            // its operations running or waiting for room
        std::shared_ptr<Knock> knocks[2];
        std::unique_ptr<asio::steady_timer> silence;
        std::chrono::steady_clock::time_point knockedAt;
        std::optional<std::string> description;
    };
    struct FollowUp {
        int host;
        bool describe;  // else: the bridge knock
    };
    struct Ssdp {
        explicit Ssdp(asio::io_context& io) : socket(io) {}
        asio::ip::udp::socket socket;
        asio::ip::udp::endpoint from;
        std::array<char, 4096> buffer{};
    };

    void startSsdp();
    void sendSearches();
    void receive(const std::shared_ptr<Ssdp>& ssdp, int errors = 0);
    void name(int host);

    void fill();
    bool preemptOne();
    void startKnocks(int host);
    void knock(int host, Port port, Millis limit);
    void knocked(int host, Port port, KnockResult result);
    void followUp(const FollowUp& work);
    void settle(int host);
    void opened();
    void endIfDone();
    Millis knockLimit(const Host& host, Port port) const;

    asio::io_context& io_;
    const HostSet set_;
    const SearchLimits limits_;
    const SearchEvents events_;
    const Options options_;
    const int slots_;
    Gate gate_;
    // The rest is the network thread's alone.
    std::vector<Host> hosts_;
    std::deque<FollowUp> followUps_;  // first: a host that answered goes on at once
    std::deque<int> named_;           // then the named hosts
    std::deque<int> sweep_;           // then every host in order
    std::deque<int> firstKnocks_;     // swept hosts whose first knock waits, oldest first
    int inFlight_ = 0;
    int preempting_ = 0;  // first knocks stopped whose end has not been seen yet
    std::vector<std::shared_ptr<Ssdp>> ssdp_;
    int ssdpOpen_ = 0;
    asio::steady_timer ssdpRepeat_;
    asio::steady_timer ssdpEnd_;
    Running running_;
    SearchReport report_;
    bool ended_ = false;
    bool cancelled_ = false;
};

}  // namespace platform::net::detail
