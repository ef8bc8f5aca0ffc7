#include "platform/net/tv_operations.h"

#include "platform/error.h"
#include "platform/net/http_response.h"
#include "platform/text.h"

namespace platform::net::detail {
namespace {

// A TV's description is a few kilobytes; anything much larger is not one.
constexpr std::size_t longestReply = 64 * 1024;
constexpr const char* descriptionPaths[] = {"/api/v2/", "/ms/1.0/"};

}  // namespace

asio::ip::address_v4 parsedAddress(const std::wstring& address) {
    std::error_code ec;
    const auto ip = asio::ip::make_address_v4(toUtf8(address), ec);
    if (ec)
        throw Error(L"Not an IPv4 address: " + address);
    return ip;
}

void Knock::start(const tcp::endpoint& to, Millis limit, Done done) {
    done_ = std::move(done);
    timer_.expires_after(limit);
    arm();
    socket_.async_connect(to, [self = shared_from_this()](const std::error_code& ec) {
        self->finished_ = true;
        self->timer_.cancel();
        std::error_code ignored;
        self->socket_.close(ignored);
        self->done_(!ec                                     ? KnockResult::connected
                    : ec == asio::error::connection_refused ? KnockResult::refused
                                                            : KnockResult::silent);
    });
}

void Knock::arm() {
    timer_.async_wait([self = shared_from_this()](const std::error_code& ec) {
        if (!ec)
            self->stop();
    });
}

void Knock::extendTo(std::chrono::steady_clock::time_point deadline) {
    if (finished_ || deadline <= timer_.expiry())
        return;
    timer_.expires_at(deadline);  // the wait for the old time ends without stopping anything
    arm();
}

void Knock::stop() {
    std::error_code ignored;
    socket_.close(ignored);
}

void DescriptionGet::start(const tcp::endpoint& to, Millis limit, Done done) {
    to_ = to;
    done_ = std::move(done);
    timer_.expires_after(limit);
    timer_.async_wait([self = shared_from_this()](const std::error_code& ec) {
        if (!ec) {
            self->expired_ = true;
            self->stop();
        }
    });
    get(0);
}

void DescriptionGet::stop() {
    std::error_code ignored;
    socket_.close(ignored);
}

void DescriptionGet::get(std::size_t path) {
    auto self = shared_from_this();
    socket_ = tcp::socket(io_);
    reply_.clear();
    request_ = httpGetRequest(to_.address().to_string() + ":" + std::to_string(to_.port()),
                              descriptionPaths[path]);
    socket_.async_connect(to_, [self, path](const std::error_code& ec) {
        if (ec || self->expired_)
            return self->finish(std::nullopt);
        asio::async_write(self->socket_, asio::buffer(self->request_),
                          [self, path](const std::error_code& ec, std::size_t) {
                              if (ec)
                                  return self->finish(std::nullopt);
                              self->read(path);
                          });
    });
}

void DescriptionGet::read(std::size_t path) {
    auto self = shared_from_this();
    asio::async_read(
        socket_, asio::dynamic_buffer(reply_, longestReply),
        [self, path](const std::error_code& ec, std::size_t) {
            // The server closes the connection after its answer.
            if (ec != asio::error::eof || self->expired_)
                return self->finish(std::nullopt);
            const auto response = parseHttpResponse(self->reply_);
            if (response && response->status == 404 && path + 1 < std::size(descriptionPaths)) {
                return self->get(path + 1);
            }
            if (response && response->status == 200)
                return self->finish(std::move(response->body));
            self->finish(std::nullopt);
        });
}

void DescriptionGet::finish(std::optional<std::string> description) {
    if (finished_)
        return;
    finished_ = true;
    timer_.cancel();
    stop();
    done_(std::move(description));
}

void Running::add(const std::shared_ptr<Operation>& operation) {
    std::erase_if(operations_, [](const auto& o) { return o.expired(); });
    operations_.push_back(operation);
}

void Running::stopAll() {
    for (auto& weak : operations_) {
        if (auto operation = weak.lock())
            operation->stop();
    }
    operations_.clear();
}

}  // namespace platform::net::detail
