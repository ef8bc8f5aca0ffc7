#include "tools/net/channel.h"

namespace net {

namespace {
const std::error_code kPending = asio::error::would_block;
}

std::error_code Channel::finish(std::error_code& result, Millis timeout) {
    io_.restart();
    io_.run_for(timeout);
    if (result == kPending) {
        // Deadline passed: closing the socket cancels the operation; let its handler run.
        std::error_code ignored;
        socket_.close(ignored);
        io_.restart();
        io_.run();
        return asio::error::timed_out;
    }
    return result;
}

std::error_code Channel::connect(const asio::ip::tcp::endpoint& to, Millis timeout) {
    std::error_code result = kPending;
    socket_.async_connect(to, [&](const std::error_code& ec) { result = ec; });
    std::error_code ec = finish(result, timeout);
    if (!ec) {
        std::error_code ignored;
        socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    }
    return ec;
}

template <typename StartRead>
std::error_code Channel::readInto(std::string& out, std::size_t count, Millis timeout,
                                  StartRead startRead) {
    const std::size_t before = out.size();
    out.resize(before + count);
    std::error_code result = kPending;
    std::size_t got = 0;
    startRead(asio::buffer(out.data() + before, count),
              [&](const std::error_code& ec, std::size_t n) {
                  result = ec;
                  got = n;
              });
    const std::error_code ec = finish(result, timeout);
    out.resize(before + got);
    return ec;
}

std::error_code Channel::readSome(std::string& out, std::size_t max, Millis timeout) {
    return readInto(out, max, timeout, [this](auto buffer, auto handler) {
        socket_.async_read_some(buffer, std::move(handler));
    });
}

std::error_code Channel::readExact(std::string& out, std::size_t count, Millis timeout) {
    return readInto(out, count, timeout, [this](auto buffer, auto handler) {
        asio::async_read(socket_, buffer, std::move(handler));
    });
}

std::error_code Channel::readUntil(std::string& out, std::string_view delimiter, std::size_t limit,
                                   Millis timeout) {
    out.clear();
    std::error_code result = kPending;
    auto buffer = asio::dynamic_buffer(out, limit);
    asio::async_read_until(socket_, buffer, std::string(delimiter),
                           [&](const std::error_code& ec, std::size_t) { result = ec; });
    return finish(result, timeout);
}

std::error_code Channel::write(std::string_view bytes, Millis timeout) {
    std::error_code result = kPending;
    asio::async_write(socket_, asio::buffer(bytes.data(), bytes.size()),
                      [&](const std::error_code& ec, std::size_t) { result = ec; });
    return finish(result, timeout);
}

std::error_code Channel::receive(std::string& out, std::size_t max) {
    const std::size_t before = out.size();
    out.resize(before + max);
    std::error_code ec;
    const std::size_t got = socket_.read_some(asio::buffer(out.data() + before, max), ec);
    out.resize(before + got);
    return ec;
}

std::error_code Channel::send(std::string_view bytes) {
    std::error_code ec;
    asio::write(socket_, asio::buffer(bytes.data(), bytes.size()), ec);
    return ec;
}

void Channel::shutdownSend() {
    std::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
}

void Channel::shutdownReceive() {
    std::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_receive, ignored);
}

void Channel::reset() {
    std::error_code ignored;
    socket_.set_option(asio::socket_base::linger(true, 0), ignored);
    socket_.close(ignored);
}

void Channel::close() {
    std::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
}

std::string Channel::peerAddress() {
    std::error_code ec;
    const auto peer = socket_.remote_endpoint(ec);
    return ec ? std::string() : peer.address().to_string();
}

std::error_code parseIpv4(std::string_view text, asio::ip::address_v4& out) {
    // make_address_v4 accepts forms like "127.1"; an address on our command lines is four numbers.
    int dots = 0;
    for (char c : text) {
        if (c == '.') {
            ++dots;
        } else if (c < '0' || c > '9') {
            return asio::error::invalid_argument;
        }
    }
    if (dots != 3) {
        return asio::error::invalid_argument;
    }
    std::error_code ec;
    out = asio::ip::make_address_v4(std::string(text), ec);
    return ec;
}

bool isLoopback(const asio::ip::address_v4& address) {
    return (address.to_uint() >> 24) == 127;
}

}  // namespace net
