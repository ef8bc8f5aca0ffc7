#pragma once
// The network operations a question to a TV, a search and a watch are made of, each with its own
// time limit. Everything here runs on the network thread.
#include <asio.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform::net::detail {

using Millis = std::chrono::milliseconds;
using asio::ip::tcp;

// A UDP socket that keeps failing is given up after this many errors in a row.
inline constexpr int mostReceiveErrors = 16;

// Throws platform::Error when `address` is no dotted IPv4 address.
asio::ip::address_v4 parsedAddress(const std::wstring& address);

// One operation with a time limit. stop() may be called at any time and makes the operation
// end (its callback still runs once).
class Operation {
  public:
    virtual ~Operation() = default;
    virtual void stop() = 0;
};

enum class KnockResult {
    connected,  // the port accepted the connection
    refused,    // the host answered, but nothing listens there
    silent,     // no answer within the limit, stopped, or no way there at all
};

// Connects to a port; only whether and how the host answers counts.
class Knock final : public Operation, public std::enable_shared_from_this<Knock> {
  public:
    using Done = std::function<void(KnockResult result)>;

    explicit Knock(asio::io_context& io) : socket_(io), timer_(io) {}
    void start(const tcp::endpoint& to, Millis limit, Done done);
    // Gives a knock still waiting until `deadline` rather than its own limit.
    void extendTo(std::chrono::steady_clock::time_point deadline);
    void stop() override;

  private:
    void arm();

    tcp::socket socket_;
    asio::steady_timer timer_;
    Done done_;
    bool finished_ = false;
};

// GET of a TV's description, trying the older path when the newer one is not there, all within
// one limit.
class DescriptionGet final : public Operation, public std::enable_shared_from_this<DescriptionGet> {
  public:
    using Done = std::function<void(std::optional<std::string> description)>;

    explicit DescriptionGet(asio::io_context& io) : io_(io), socket_(io), timer_(io) {}
    void start(const tcp::endpoint& to, Millis limit, Done done);
    void stop() override;

  private:
    void get(std::size_t path);
    void read(std::size_t path);
    void finish(std::optional<std::string> description);

    asio::io_context& io_;
    tcp::socket socket_;
    asio::steady_timer timer_;
    tcp::endpoint to_;
    std::string request_;
    std::string reply_;
    Done done_;
    bool expired_ = false;
    bool finished_ = false;
};

// The operations still running for a question, a search or a watch, to stop them when it is
// given up.
class Running {
  public:
    void add(const std::shared_ptr<Operation>& operation);
    void stopAll();

  private:
    std::vector<std::weak_ptr<Operation>> operations_;
};

// Lets callbacks through until it is closed; close() returns only once no callback runs, so a
// search's owner may go away right after cancelling it.
class Gate {
  public:
    template <typename Call>
    void pass(Call&& call) {
        std::lock_guard lock(mutex_);
        if (open_)
            call();
    }
    void close() {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    bool isOpen() {
        std::lock_guard lock(mutex_);
        return open_;
    }

  private:
    std::mutex mutex_;
    bool open_ = true;
};

}  // namespace platform::net::detail
