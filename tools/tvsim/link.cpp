#include "tools/tvsim/link.h"

#include <algorithm>
#include <thread>

#include "tools/tvsim/services.h"

namespace tvsim {

namespace {

using namespace std::chrono_literals;
namespace command = protocol::command;

constexpr auto kAckTimeout = 300s;  // a host that does not acknowledge within this is gone

}  // namespace

Stream::Read Stream::read(std::string& out, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, timeout, [&] { return !inbound_.empty() || closed_; })) {
        return Read::kTimeout;
    }
    if (inbound_.empty()) {
        return Read::kClosed;
    }
    out += inbound_;
    inbound_.clear();
    const bool owed = std::exchange(ackOwed_, false);
    lock.unlock();
    if (owed) {
        link_.send(command::kOkay, ownId_, peerId_);
    }
    return Read::kData;
}

bool Stream::write(std::string_view bytes) {
    const std::size_t limit = link_.maxPayload();
    while (!bytes.empty()) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kAckTimeout, [&] { return peerAcknowledged_ || closed_; });
        if (closed_ || !peerAcknowledged_) {
            return false;
        }
        peerAcknowledged_ = false;
        lock.unlock();
        const std::size_t piece = std::min(bytes.size(), limit);
        link_.send(command::kWrte, ownId_, peerId_, bytes.substr(0, piece));
        bytes.remove_prefix(piece);
    }
    return true;
}

void Stream::close() {
    {
        // Even the close waits for the OKAY of the last WRTE: nothing goes before it.
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kAckTimeout, [&] { return peerAcknowledged_ || closed_; });
        if (std::exchange(closed_, true)) {
            return;
        }
    }
    link_.forget(ownId_);
    link_.send(command::kClse, ownId_, peerId_);
}

void Link::send(std::uint32_t cmd, std::uint32_t arg0, std::uint32_t arg1,
                std::string_view payload) {
    const std::string bytes = protocol::encodePacket({cmd, arg0, arg1, std::string(payload)});
    std::lock_guard lock(sendMutex_);
    if (channel_->send(bytes)) {
        channel_->shutdownReceive();  // the link's thread ends the connection
    }
}

void Link::forget(std::uint32_t ownId) {
    std::lock_guard lock(streamsMutex_);
    streams_.erase(ownId);
}

std::shared_ptr<Stream> Link::find(std::uint32_t ownId) {
    std::lock_guard lock(streamsMutex_);
    const auto found = streams_.find(ownId);
    return found == streams_.end() ? nullptr : found->second;
}

void Link::reset() {
    resetting_ = true;
    channel_->shutdownReceive();
}

void Link::run() {
    protocol::PacketReader reader(protocol::kTvMaxPayload);
    std::string bytes;
    bool healthy = true;
    while (healthy && !resetting_) {
        bytes.clear();
        if (channel_->receive(bytes, 64 * 1024)) {
            break;
        }
        reader.feed(bytes);
        protocol::Packet packet;
        auto status = reader.next(packet);
        for (; healthy && status == protocol::PacketReader::Status::kPacket;
             status = reader.next(packet)) {
            healthy = handle(packet);
        }
        if (status != protocol::PacketReader::Status::kNeedMore &&
            status != protocol::PacketReader::Status::kPacket) {
            tv_.log("dropped the connection: bad packet header or data check");
            healthy = false;
        }
    }
    std::map<std::uint32_t, std::shared_ptr<Stream>> all;
    {
        std::lock_guard lock(streamsMutex_);
        all.swap(streams_);
    }
    for (auto& [id, stream] : all) {
        std::lock_guard lock(stream->mutex_);
        stream->closed_ = true;
        stream->changed_.notify_all();
    }
    std::lock_guard lock(sendMutex_);
    if (resetting_) {
        channel_->reset();
    } else {
        channel_->close();
    }
}

bool Link::handle(const protocol::Packet& packet) {
    if (packet.command == command::kCnxn) {
        // Answered only now, whatever the host's timing: a TV never speaks first.
        maxPayload_ = std::clamp<std::uint32_t>(packet.arg1, 256, protocol::kTvMaxPayload);
        connected_ = true;
        const std::string banner = "device::" + tv_.options().modelName + "::0";
        send(command::kCnxn, protocol::kDeviceVersion, protocol::kTvMaxPayload,
             banner + std::string(1, '\0'));
        return true;
    }
    if (!connected_) {
        tv_.log("dropped the connection: " + protocol::commandName(packet.command) +
                " before CNXN");
        return false;
    }
    if (packet.command == command::kOpen) {
        open(packet);
        return true;
    }
    const auto stream = find(packet.arg1);
    if (!stream) {
        if (packet.command == command::kWrte) {
            send(command::kClse, 0, packet.arg0);  // that stream is gone
        }
        return true;  // a CLSE or OKAY for a stream already closed
    }
    std::unique_lock lock(stream->mutex_);
    switch (packet.command) {
        case command::kWrte:
            if (stream->holdsInput_) {
                stream->inbound_ += packet.payload;
                stream->ackOwed_ = true;
            } else {
                lock.unlock();
                send(command::kOkay, stream->ownId_, stream->peerId_);
                return true;
            }
            break;
        case command::kOkay:
            stream->peerAcknowledged_ = true;
            break;
        case command::kClse:
            if (!std::exchange(stream->closed_, true)) {
                lock.unlock();
                forget(stream->ownId_);
                stream->changed_.notify_all();
                send(command::kClse, 0, stream->peerId_);
                return true;
            }
            break;
        default:
            break;
    }
    lock.unlock();
    stream->changed_.notify_all();
    return true;
}

void Link::open(const protocol::Packet& packet) {
    const std::string service = packet.payload.substr(0, packet.payload.find('\0'));
    auto runner = serviceFor(tv_, *this, service);
    if (!runner) {
        tv_.log("refused: " + service);
        send(command::kClse, 0, packet.arg0);
        return;
    }
    const std::uint32_t ownId = nextId_++;
    auto stream = std::make_shared<Stream>(*this, ownId, packet.arg0, runner->holdsInput);
    {
        std::lock_guard lock(streamsMutex_);
        streams_[ownId] = stream;
    }
    send(command::kOkay, ownId, packet.arg0);
    std::thread([self = shared_from_this(), stream, serve = std::move(runner->serve)] {
        serve(*stream);
        stream->close();
    }).detach();
}

}  // namespace tvsim
