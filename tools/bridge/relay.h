#pragma once
// The client's half of a stream through the server's link to a TV (transport.h).
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "tools/net/channel.h"

namespace bridge {

class Transport;

// A client's side of one stream, on the client's session thread. The link posts the TV's events
// here; once the relay is over, late events find it closed and are dropped.
class Relay : public std::enable_shared_from_this<Relay> {
  public:
    Relay(net::Channel& client, std::shared_ptr<Transport> transport, std::uint32_t localId)
        : client_(client), transport_(std::move(transport)), localId_(localId) {}

    // Runs the client's connection until the stream is over.
    void run(const std::string& service, std::string early);

    // From the link's thread.
    void opened();
    void refused();
    void data(std::string bytes);
    void acknowledged();
    void closed();

  private:
    void post(std::function<void()> event);
    void readClient();
    void writeNextClient();
    void sendPending();
    void writeClient(std::string bytes, std::function<void()> then);
    void finish();

    net::Channel& client_;
    std::shared_ptr<Transport> transport_;
    const std::uint32_t localId_;

    std::mutex postMutex_;
    bool over_ = false;  // no more events are posted

    // The session thread only.
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
    bool finished_ = false;
    bool open_ = false;
    bool reading_ = false;
    bool tvAcknowledged_ = true;
    bool clientEnded_ = false;
    bool tvClosed_ = false;
    std::string pending_;  // client bytes not yet sent to the TV
    std::string readBuffer_;
    std::deque<std::pair<std::string, std::function<void()>>> clientOutbox_;
};

}  // namespace bridge
