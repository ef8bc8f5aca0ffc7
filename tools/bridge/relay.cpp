#include "tools/bridge/relay.h"

#include <algorithm>

#include "tools/bridge/transport.h"
#include "tools/protocol/host_service.h"

namespace bridge {

void Relay::run(const std::string& service, std::string early) {
    asio::io_context& context = client_.context();
    context.restart();
    work_.emplace(context.get_executor());
    pending_ = std::move(early);
    transport_->open(localId_, service, shared_from_this());
    context.run();
}

void Relay::post(std::function<void()> event) {
    std::lock_guard lock(postMutex_);
    if (!over_) {
        asio::post(client_.context(), [self = shared_from_this(), event = std::move(event)] {
            if (!self->finished_) {
                event();
            }
        });
    }
}

void Relay::opened() {
    post([this] {
        open_ = true;
        writeClient(protocol::encodeOkay(), nullptr);
        sendPending();
        readClient();
    });
}

void Relay::refused() {
    post([this] {
        if (open_) {
            closed();
            return;
        }
        writeClient(protocol::encodeFail("closed"), [this] { finish(); });
    });
}

void Relay::data(std::string bytes) {
    post([this, bytes = std::move(bytes)] {
        writeClient(bytes, [this] { transport_->acknowledge(localId_); });
    });
}

void Relay::acknowledged() {
    post([this] {
        tvAcknowledged_ = true;
        if (!pending_.empty()) {
            sendPending();
        } else if (clientEnded_) {
            transport_->close(localId_);
            finish();
        } else {
            readClient();
        }
    });
}

void Relay::closed() {
    post([this] {
        tvClosed_ = true;
        pending_.clear();
        if (clientOutbox_.empty()) {
            client_.shutdownSend();  // the client reads the end of its stream
        }
        readClient();  // until the client, too, closes
    });
}

void Relay::readClient() {
    if (reading_ || clientEnded_ || !pending_.empty()) {
        return;
    }
    reading_ = true;
    readBuffer_.resize(64 * 1024);
    client_.socket().async_read_some(
        asio::buffer(readBuffer_),
        [self = shared_from_this()](const std::error_code& ec, std::size_t got) {
            self->reading_ = false;
            if (self->finished_) {
                return;
            }
            if (ec) {
                self->clientEnded_ = true;
                if (self->tvClosed_) {
                    self->finish();
                } else if (self->tvAcknowledged_) {
                    self->pending_.clear();
                    self->transport_->close(self->localId_);
                    self->finish();
                }
                return;  // else the last OKAY ends it
            }
            if (!self->tvClosed_) {
                self->pending_.append(self->readBuffer_, 0, got);
                self->sendPending();
            }
            self->readClient();
        });
}

void Relay::sendPending() {
    if (!open_ || tvClosed_ || !tvAcknowledged_ || pending_.empty()) {
        return;
    }
    const std::size_t piece = std::min(pending_.size(), transport_->maxPayload());
    tvAcknowledged_ = false;
    transport_->sendData(localId_, pending_.substr(0, piece));
    pending_.erase(0, piece);
}

void Relay::writeClient(std::string bytes, std::function<void()> then) {
    clientOutbox_.emplace_back(std::move(bytes), std::move(then));
    if (clientOutbox_.size() == 1) {
        writeNextClient();
    }
}

void Relay::writeNextClient() {
    asio::async_write(client_.socket(), asio::buffer(clientOutbox_.front().first),
                      [self = shared_from_this()](const std::error_code& ec, std::size_t) {
                          if (self->finished_) {
                              return;
                          }
                          if (ec) {  // the client is gone
                              self->transport_->close(self->localId_);
                              self->finish();
                              return;
                          }
                          auto then = std::move(self->clientOutbox_.front().second);
                          self->clientOutbox_.pop_front();
                          if (then) {
                              then();
                          }
                          if (self->finished_) {
                              return;
                          }
                          if (!self->clientOutbox_.empty()) {
                              self->writeNextClient();
                          } else if (self->tvClosed_) {
                              self->client_.shutdownSend();
                          }
                      });
}

void Relay::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    {
        std::lock_guard lock(postMutex_);
        over_ = true;
    }
    work_.reset();
    client_.close();  // what is still pending completes, and the run ends
}

}  // namespace bridge
