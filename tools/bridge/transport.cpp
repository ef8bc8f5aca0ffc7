#include "tools/bridge/transport.h"

#include <chrono>
#include <vector>

#include "tools/bridge/server_log.h"
#include "tools/protocol/host_service.h"

namespace bridge {

namespace {

using namespace std::chrono_literals;
namespace command = protocol::command;

constexpr auto kBeforeCnxn = 1000ms;  // the real server waits this long after the TCP connect
constexpr auto kOpenTimeout = 60s;    // a TV that neither takes nor refuses a stream
constexpr auto kAckTimeout = 300s;    // a slow TV still acknowledges within this

std::atomic<std::uint32_t> nextStreamId{1};  // shared by all of the server's streams

}  // namespace

struct Transport::Stream {
    enum class State { kOpening, kOpen, kRefused, kClosed };

    std::uint32_t localId = 0;
    std::uint32_t remoteId = 0;
    net::Channel* client = nullptr;
    State state = State::kOpening;
    bool acknowledged = true;  // the next WRTE may go
    std::mutex mutex;
    std::condition_variable changed;
};

Transport::Transport(std::string serial, std::unique_ptr<net::Channel> tv)
    : serial_(std::move(serial)), tv_(std::move(tv)) {}

Transport::~Transport() {
    if (thread_.joinable()) {
        thread_.detach();  // the thread holds a reference: it only ends here after run() returned
    }
}

void Transport::start(std::function<void(const std::shared_ptr<Transport>&)> gone) {
    gone_ = std::move(gone);
    thread_ = std::thread([self = shared_from_this()] {
        self->run();
        if (self->gone_) {
            self->gone_(self);
        }
    });
}

void Transport::stop() {
    stopping_ = true;
    tv_->shutdownReceive();
}

std::string Transport::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::string Transport::model() const {
    std::lock_guard lock(mutex_);
    return model_;
}

void Transport::send(std::uint32_t cmd, std::uint32_t arg0, std::uint32_t arg1,
                     std::string_view payload) {
    const std::string bytes = protocol::encodePacket({cmd, arg0, arg1, std::string(payload)});
    std::lock_guard lock(sendMutex_);
    if (tv_->send(bytes)) {
        tv_->shutdownReceive();  // the link's thread ends the transport
    }
}

void Transport::run() {
    for (auto waited = 0ms; waited < kBeforeCnxn && !stopping_; waited += 50ms) {
        std::this_thread::sleep_for(50ms);
    }
    if (!stopping_) {
        send(command::kCnxn, protocol::kHostVersion, protocol::kHostMaxPayload,
             std::string_view("host::\0", 7));
    }
    protocol::PacketReader reader(protocol::kHostMaxPayload);
    std::string bytes;
    while (!stopping_) {
        bytes.clear();
        if (tv_->receive(bytes, 64 * 1024)) {
            break;
        }
        reader.feed(bytes);
        protocol::Packet packet;
        auto status = reader.next(packet);
        for (; status == protocol::PacketReader::Status::kPacket; status = reader.next(packet)) {
            handle(packet);
        }
        if (status != protocol::PacketReader::Status::kNeedMore) {
            serverLog(serial_ + ": bad packet from the TV, dropping the connection");
            break;
        }
    }
    serverLog(serial_ + ": connection ended");
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    closeAllStreams();
    tv_->close();
}

void Transport::handle(const protocol::Packet& packet) {
    if (packet.command == command::kCnxn) {
        // "device::<model>::<0, or 1 when locked>\0"
        std::string banner = packet.payload.substr(0, packet.payload.find('\0'));
        std::vector<std::string> parts;
        for (std::size_t at = 0;;) {
            const std::size_t end = banner.find("::", at);
            parts.push_back(banner.substr(at, end == std::string::npos ? end : end - at));
            if (end == std::string::npos) {
                break;
            }
            at = end + 2;
        }
        std::lock_guard lock(mutex_);
        state_ = parts[0] == "device" ? (parts.size() == 3 && parts[2] == "1" ? "locked" : "device")
                                      : parts[0];
        if (parts.size() >= 2 && !parts[1].empty()) {
            model_ = parts[1];
        }
        maxPayload_ = std::min(packet.arg1, protocol::kHostMaxPayload);
        serverLog(serial_ + ": " + banner);
        return;
    }
    const auto stream = find(packet.arg1);
    if (!stream) {
        return;  // a stream already closed, or one we never opened
    }
    std::unique_lock lock(stream->mutex);
    switch (packet.command) {
        case command::kOkay:
            if (stream->state == Stream::State::kOpening) {
                // Told here, before any of the TV's data can reach the client.
                stream->remoteId = packet.arg0;
                stream->state = stream->client->send(protocol::encodeOkay())
                                    ? Stream::State::kClosed
                                    : Stream::State::kOpen;
            } else {
                stream->acknowledged = true;
            }
            break;
        case command::kWrte:
            if (stream->state == Stream::State::kOpen) {
                if (stream->client->send(packet.payload)) {
                    stream->state = Stream::State::kClosed;
                    lock.unlock();
                    send(command::kClse, stream->localId, stream->remoteId, {});
                    forget(stream->localId);
                    stream->changed.notify_all();
                    return;
                }
                lock.unlock();
                send(command::kOkay, stream->localId, stream->remoteId, {});
                return;
            }
            break;
        case command::kClse: {
            const bool wasOpen = stream->state == Stream::State::kOpen;
            stream->state =
                wasOpen ? Stream::State::kClosed
                        : (stream->state == Stream::State::kOpening ? Stream::State::kRefused
                                                                    : stream->state);
            if (wasOpen) {
                stream->client->shutdownSend();  // the client reads the end of its stream
            }
            lock.unlock();
            forget(stream->localId);
            stream->changed.notify_all();
            if (wasOpen) {
                send(command::kClse, 0, stream->remoteId, {});
            }
            return;
        }
        default:
            break;
    }
    lock.unlock();
    stream->changed.notify_all();
}

std::shared_ptr<Transport::Stream> Transport::find(std::uint32_t localId) {
    std::lock_guard lock(mutex_);
    const auto found = streams_.find(localId);
    return found == streams_.end() ? nullptr : found->second;
}

void Transport::forget(std::uint32_t localId) {
    std::lock_guard lock(mutex_);
    streams_.erase(localId);
}

void Transport::closeAllStreams() {
    std::map<std::uint32_t, std::shared_ptr<Stream>> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(streams_);
    }
    for (auto& [id, stream] : all) {
        std::lock_guard lock(stream->mutex);
        if (stream->state == Stream::State::kOpen) {
            stream->client->shutdownSend();
        }
        stream->state = stream->state == Stream::State::kOpening ? Stream::State::kRefused
                                                                 : Stream::State::kClosed;
        stream->changed.notify_all();
    }
}

void Transport::relay(net::Channel& client, const std::string& service, std::string early) {
    auto stream = std::make_shared<Stream>();
    stream->localId = nextStreamId++;
    stream->client = &client;
    {
        std::lock_guard lock(mutex_);
        if (ended_) {
            stream->state = Stream::State::kRefused;
        } else {
            streams_[stream->localId] = stream;
        }
    }
    if (stream->state == Stream::State::kOpening) {
        send(command::kOpen, stream->localId, 0, service + std::string(1, '\0'));
    }
    std::unique_lock lock(stream->mutex);
    stream->changed.wait_for(lock, kOpenTimeout,
                             [&] { return stream->state != Stream::State::kOpening; });
    if (stream->state != Stream::State::kOpen) {
        const bool clientGone = stream->state == Stream::State::kClosed;
        stream->state = Stream::State::kClosed;
        lock.unlock();
        forget(stream->localId);
        if (clientGone) {
            send(command::kClse, stream->localId, stream->remoteId, {});
        } else {
            serverLog(serial_ + ": refused " + service);
            client.send(protocol::encodeFail("closed"));
        }
        return;
    }
    // The link's thread has told the client OKAY; it writes the TV's answers straight to the
    // client while this thread takes the client's bytes to the TV.
    const std::size_t limit = [&] {
        std::lock_guard payloadLock(mutex_);
        return maxPayload_;
    }();
    std::string data = std::move(early);
    for (;;) {
        if (data.empty()) {
            lock.unlock();
            const std::error_code ec = client.receive(data, limit);
            lock.lock();
            if (ec || data.empty()) {
                break;
            }
        }
        stream->changed.wait_for(lock, kAckTimeout, [&] {
            return stream->acknowledged || stream->state != Stream::State::kOpen;
        });
        if (stream->state != Stream::State::kOpen || !stream->acknowledged) {
            break;
        }
        const std::size_t piece = std::min(data.size(), limit);
        stream->acknowledged = false;
        const std::string chunk = data.substr(0, piece);
        data.erase(0, piece);
        lock.unlock();
        send(command::kWrte, stream->localId, stream->remoteId, chunk);
        lock.lock();
    }
    // The close too waits for the OKAY of the last WRTE.
    stream->changed.wait_for(lock, kAckTimeout, [&] {
        return stream->acknowledged || stream->state != Stream::State::kOpen;
    });
    const bool wasOpen = stream->state == Stream::State::kOpen;
    stream->state = Stream::State::kClosed;
    lock.unlock();
    if (wasOpen) {
        forget(stream->localId);
        send(command::kClse, stream->localId, stream->remoteId, {});
    }
    client.close();  // a client still sending learns at once that its stream is gone
}

}  // namespace bridge
