#pragma once
// The server's link to one TV on port 26101: the CNXN exchange with the real tool's timing, then
// streams opened for clients. Each stream relays between a client's connection and the TV, with
// one WRTE in flight at a time and an OKAY for every WRTE the TV sends.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tools/net/channel.h"
#include "tools/protocol/packet.h"

namespace bridge {

class Transport : public std::enable_shared_from_this<Transport> {
  public:
    Transport(std::string serial, std::unique_ptr<net::Channel> tv);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Starts the link's thread; `gone` runs on it once the TV's connection has ended.
    void start(std::function<void(const std::shared_ptr<Transport>&)> gone);
    // Ends the connection (disconnect); the link's thread notices and ends.
    void stop();

    const std::string& serial() const { return serial_; }
    std::string state() const;  // "offline" until the TV's CNXN, then "device" (or "locked")
    std::string model() const;

    // Opens `service` on the TV and relays until either side closes. Answers the client OKAY once
    // the TV took the stream, or FAIL "closed" when it refused it. `early` holds bytes the client
    // sent right after its request.
    void relay(net::Channel& client, const std::string& service, std::string early);

  private:
    struct Stream;

    void run();
    void handle(const protocol::Packet& packet);
    void send(std::uint32_t command, std::uint32_t arg0, std::uint32_t arg1,
              std::string_view payload);
    std::shared_ptr<Stream> find(std::uint32_t localId);
    void forget(std::uint32_t localId);
    void closeAllStreams();

    const std::string serial_;
    std::unique_ptr<net::Channel> tv_;
    std::function<void(const std::shared_ptr<Transport>&)> gone_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    mutable std::mutex mutex_;  // what follows
    std::string state_ = "offline";
    std::string model_ = "unknown";
    std::uint32_t maxPayload_ = protocol::kTvMaxPayload;
    bool ended_ = false;
    std::map<std::uint32_t, std::shared_ptr<Stream>> streams_;

    std::mutex sendMutex_;  // one packet at a time on the wire
};

}  // namespace bridge
