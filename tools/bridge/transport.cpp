#include "tools/bridge/transport.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "tools/bridge/relay.h"
#include "tools/bridge/server_log.h"
#include "tools/protocol/host_service.h"

namespace bridge {

namespace {

using namespace std::chrono_literals;
namespace command = protocol::command;

constexpr auto kBeforeCnxn = 1000ms;  // the real server waits this long after the TCP connect

std::atomic<std::uint32_t> nextStreamId{1};  // shared by all of the server's streams

}  // namespace

Transport::Transport(std::string serial, std::unique_ptr<net::Channel> tv)
    : serial_(std::move(serial)), tv_(std::move(tv)), cnxnTimer_(tv_->context()) {}

void Transport::start(ThreadGroup& threads,
                      std::function<void(const std::shared_ptr<Transport>&)> gone) {
    gone_ = std::move(gone);
    threads.start([self = shared_from_this()] {
        asio::io_context& context = self->tv_->context();
        context.restart();  // its connect ran it before
        self->cnxnTimer_.expires_after(kBeforeCnxn);
        self->cnxnTimer_.async_wait([self](const std::error_code& ec) {
            if (!ec) {
                self->write(command::kCnxn, protocol::kHostVersion, protocol::kHostMaxPayload,
                            std::string("host::\0", 7));
            }
        });
        self->readMore();
        context.run();
        {
            std::lock_guard lock(self->linkMutex_);
            self->linkDone_ = true;
        }
        // What was posted meanwhile finds the link ended.
        context.restart();
        context.poll();
        if (self->gone_) {
            self->gone_(self);
        }
    });
}

void Transport::onLink(std::function<void()> action, std::function<void()> otherwise) {
    std::lock_guard lock(linkMutex_);
    if (linkDone_) {
        if (otherwise) {
            otherwise();
        }
        return;
    }
    asio::post(tv_->context(),
               [self = shared_from_this(), action = std::move(action)] { action(); });
}

void Transport::stop() {
    onLink([this] { end(); });
}

std::string Transport::state() const {
    std::lock_guard lock(stateMutex_);
    return state_;
}

std::string Transport::model() const {
    std::lock_guard lock(stateMutex_);
    return model_;
}

void Transport::readMore() {
    if (ended_) {
        return;
    }
    readBuffer_.resize(64 * 1024);
    tv_->socket().async_read_some(
        asio::buffer(readBuffer_),
        [self = shared_from_this()](const std::error_code& ec, std::size_t got) {
            if (ec) {
                self->end();
                return;
            }
            self->reader_.feed(std::string_view(self->readBuffer_).substr(0, got));
            protocol::Packet packet;
            auto status = self->reader_.next(packet);
            for (; status == protocol::PacketReader::Status::kPacket && !self->ended_;
                 status = self->reader_.next(packet)) {
                self->handle(packet);
            }
            if (status != protocol::PacketReader::Status::kNeedMore &&
                status != protocol::PacketReader::Status::kPacket) {
                serverLog(self->serial_ + ": bad packet from the TV, dropping the connection");
                self->end();
                return;
            }
            self->readMore();
        });
}

void Transport::write(std::uint32_t cmd, std::uint32_t arg0, std::uint32_t arg1,
                      std::string payload) {
    if (ended_) {
        return;
    }
    outbox_.push_back(protocol::encodePacket({cmd, arg0, arg1, std::move(payload)}));
    if (outbox_.size() == 1) {
        writeNext();
    }
}

void Transport::writeNext() {
    asio::async_write(tv_->socket(), asio::buffer(outbox_.front()),
                      [self = shared_from_this()](const std::error_code& ec, std::size_t) {
                          if (ec || self->ended_) {
                              self->end();
                              return;
                          }
                          self->outbox_.pop_front();
                          if (!self->outbox_.empty()) {
                              self->writeNext();
                          }
                      });
}

void Transport::end() {
    if (ended_) {
        return;
    }
    ended_ = true;
    serverLog(serial_ + ": connection ended");
    cnxnTimer_.cancel();
    tv_->close();  // what is still pending completes with an error
    for (auto& [id, stream] : streams_) {
        if (stream.open) {
            stream.relay->closed();
        } else {
            stream.relay->refused();
        }
    }
    streams_.clear();
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
        maxPayload_ = std::min(packet.arg1, protocol::kHostMaxPayload);
        std::lock_guard lock(stateMutex_);
        state_ = parts[0] == "device" ? (parts.size() == 3 && parts[2] == "1" ? "locked" : "device")
                                      : parts[0];
        if (parts.size() >= 2 && !parts[1].empty()) {
            model_ = parts[1];
        }
        serverLog(serial_ + ": " + banner);
        return;
    }
    const auto found = streams_.find(packet.arg1);
    if (found == streams_.end()) {
        return;  // a stream already closed, or one we never opened
    }
    Stream& stream = found->second;
    if (packet.command == command::kOkay) {
        if (!stream.open) {
            stream.open = true;
            stream.remoteId = packet.arg0;
            stream.relay->opened();
        } else {
            stream.relay->acknowledged();
        }
    } else if (packet.command == command::kWrte && stream.open) {
        stream.relay->data(packet.payload);  // acknowledged once the client has it
    } else if (packet.command == command::kClse) {
        if (stream.open) {
            stream.relay->closed();
            write(command::kClse, 0, stream.remoteId);
        } else {
            serverLog(serial_ + ": the TV refused a stream");
            stream.relay->refused();
        }
        streams_.erase(found);
    }
}

void Transport::open(std::uint32_t localId, const std::string& service,
                     std::shared_ptr<Relay> relay) {
    onLink(
        [this, localId, service, relay] {
            if (ended_) {
                relay->refused();
                return;
            }
            streams_[localId] = Stream{0, false, relay};
            write(command::kOpen, localId, 0, service + std::string(1, '\0'));
        },
        [relay] { relay->refused(); });
}

void Transport::sendData(std::uint32_t localId, std::string bytes) {
    onLink([this, localId, bytes = std::move(bytes)] {
        const auto found = streams_.find(localId);
        if (found != streams_.end() && found->second.open) {
            write(command::kWrte, localId, found->second.remoteId, bytes);
        }
    });
}

void Transport::acknowledge(std::uint32_t localId) {
    onLink([this, localId] {
        const auto found = streams_.find(localId);
        if (found != streams_.end() && found->second.open) {
            write(command::kOkay, localId, found->second.remoteId);
        }
    });
}

void Transport::close(std::uint32_t localId) {
    onLink([this, localId] {
        const auto found = streams_.find(localId);
        if (found != streams_.end()) {
            if (found->second.open) {
                write(command::kClse, localId, found->second.remoteId);
            }
            streams_.erase(found);
        }
    });
}

void Transport::relay(net::Channel& client, const std::string& service, std::string early) {
    auto relay = std::make_shared<Relay>(client, shared_from_this(), nextStreamId++);
    relay->run(service, std::move(early));
}

}  // namespace bridge
