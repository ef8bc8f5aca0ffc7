#pragma once
// One host connection on the TV's port 26101, in the bridge's real protocol: the CNXN exchange
// (the TV answers only the host's CNXN), then streams the host opens. Each stream has its own
// byte stream both ways; the TV acknowledges every WRTE, and sends its own WRTEs one at a time,
// each within the maximum payload in force, waiting for the host's OKAY in between.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "tools/net/channel.h"
#include "tools/protocol/packet.h"
#include "tools/tvsim/tv.h"

namespace tvsim {

class Link;

class Stream {
  public:
    enum class Read { kData, kClosed, kTimeout };

    Stream(Link& link, std::uint32_t ownId, std::uint32_t peerId, bool holdsInput)
        : link_(link), ownId_(ownId), peerId_(peerId), holdsInput_(holdsInput) {}

    // Takes what the host has sent (acknowledging it), waiting up to `timeout` for some.
    Read read(std::string& out, std::chrono::milliseconds timeout);
    // Sends `bytes` to the host; false once the stream or the link is closed.
    bool write(std::string_view bytes);
    // Closes the stream from the TV's side (CLSE), unless it is closed already.
    void close();

  private:
    friend class Link;

    Link& link_;
    const std::uint32_t ownId_;
    const std::uint32_t peerId_;
    // Whether the service reads the host's bytes: then a WRTE is acknowledged once it is taken,
    // so that at most one waits here. Other services have theirs acknowledged and dropped.
    const bool holdsInput_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string inbound_;
    bool ackOwed_ = false;
    bool peerAcknowledged_ = true;
    bool closed_ = false;
};

class Link : public std::enable_shared_from_this<Link> {
  public:
    Link(Tv& tv, std::unique_ptr<net::Channel> channel) : tv_(tv), channel_(std::move(channel)) {}

    // Serves the host until it goes (or the link is reset); call on the connection's thread.
    void run();
    // Ends the connection with a TCP reset, as a TV whose link dropped mid-push.
    void reset();

    Tv& tv() { return tv_; }
    std::uint32_t maxPayload() const { return maxPayload_; }
    void send(std::uint32_t command, std::uint32_t arg0, std::uint32_t arg1,
              std::string_view payload = {});
    void forget(std::uint32_t ownId);

  private:
    bool handle(const protocol::Packet& packet);
    void open(const protocol::Packet& packet);
    std::shared_ptr<Stream> find(std::uint32_t ownId);

    Tv& tv_;
    std::unique_ptr<net::Channel> channel_;
    std::mutex sendMutex_;  // one packet at a time on the wire
    std::atomic<std::uint32_t> maxPayload_{protocol::kTvMaxPayload};
    std::atomic<bool> resetting_{false};
    bool connected_ = false;  // the host's CNXN came (the link's own thread only)
    std::uint32_t nextId_ = 1;

    std::mutex streamsMutex_;
    std::map<std::uint32_t, std::shared_ptr<Stream>> streams_;
};

}  // namespace tvsim
