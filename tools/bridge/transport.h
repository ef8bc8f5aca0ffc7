#pragma once
// The server's link to one TV on port 26101: the CNXN exchange with the real tool's timing, then
// streams opened for clients. Each stream relays (relay.h) between a client's connection and the
// TV, with one WRTE in flight at a time each way and an OKAY for every WRTE the TV sends.
//
// Every socket is driven by asynchronous operations, each on one thread only: the link's own
// thread runs the TV's connection; a client's session thread runs that client's connection. The
// two hand events to each other by posting them. (Blocking calls on a socket from two threads at
// once lost data and corrupted the program under Wine.)
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "tools/bridge/thread_group.h"
#include "tools/net/channel.h"
#include "tools/protocol/packet.h"

namespace bridge {

class Relay;

class Transport : public std::enable_shared_from_this<Transport> {
  public:
    Transport(std::string serial, std::unique_ptr<net::Channel> tv);
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Starts the link's thread in `threads`; `gone` runs on it once the TV's connection has ended.
    void start(ThreadGroup& threads, std::function<void(const std::shared_ptr<Transport>&)> gone);
    // Ends the connection (disconnect).
    void stop();

    const std::string& serial() const { return serial_; }
    std::string state() const;  // "offline" until the TV's CNXN, then "device" (or "locked")
    std::string model() const;

    // Opens `service` on the TV and relays until either side closes. Answers the client OKAY once
    // the TV took the stream, or FAIL "closed" when it refused it. `early` holds bytes the client
    // sent right after its request. Runs on the client's session thread.
    void relay(net::Channel& client, const std::string& service, std::string early);

    // For a relay, from its own thread: each is carried out on the link's thread.
    void open(std::uint32_t localId, const std::string& service, std::shared_ptr<Relay> relay);
    void sendData(std::uint32_t localId, std::string bytes);
    void acknowledge(std::uint32_t localId);  // the client took the TV's last WRTE
    void close(std::uint32_t localId);
    std::size_t maxPayload() const { return maxPayload_; }

  private:
    struct Stream {
        std::uint32_t remoteId = 0;
        bool open = false;
        std::shared_ptr<Relay> relay;
    };

    // Runs `action` on the link's thread; once that thread is done, runs `otherwise` instead.
    void onLink(std::function<void()> action, std::function<void()> otherwise = {});
    void readMore();
    void handle(const protocol::Packet& packet);
    void write(std::uint32_t command, std::uint32_t arg0, std::uint32_t arg1,
               std::string payload = {});
    void writeNext();
    void end();

    const std::string serial_;
    std::unique_ptr<net::Channel> tv_;
    std::function<void(const std::shared_ptr<Transport>&)> gone_;
    asio::steady_timer cnxnTimer_;

    // The link's thread only.
    protocol::PacketReader reader_{protocol::kHostMaxPayload};
    std::string readBuffer_;
    std::deque<std::string> outbox_;
    bool ended_ = false;
    std::map<std::uint32_t, Stream> streams_;

    std::mutex linkMutex_;
    bool linkDone_ = false;  // the link's thread has ended: nothing posted to it would run

    std::atomic<std::size_t> maxPayload_{protocol::kTvMaxPayload};
    mutable std::mutex stateMutex_;
    std::string state_ = "offline";
    std::string model_ = "unknown";
};
}  // namespace bridge
