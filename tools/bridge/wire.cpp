#include "tools/bridge/wire.h"

#include <array>

namespace bench {

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
        socket_.set_option(asio::ip::tcp::no_delay(true), ec);
        ec = {};
    }
    return ec;
}

std::error_code Channel::write(char type, std::string_view body, Millis timeout) {
    if (body.size() > kMaxFrameBody) {
        return std::make_error_code(std::errc::message_size);
    }
    const auto size = static_cast<std::uint32_t>(body.size());
    std::array<unsigned char, 5> header{
        static_cast<unsigned char>(type), static_cast<unsigned char>(size >> 24),
        static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 8),
        static_cast<unsigned char>(size)};
    std::array<asio::const_buffer, 2> buffers{asio::buffer(header),
                                              asio::buffer(body.data(), body.size())};
    std::error_code result = kPending;
    asio::async_write(socket_, buffers,
                      [&](const std::error_code& ec, std::size_t) { result = ec; });
    return finish(result, timeout);
}

std::error_code Channel::read(Frame& out, Millis timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<unsigned char, 5> header{};
    std::error_code result = kPending;
    asio::async_read(socket_, asio::buffer(header),
                     [&](const std::error_code& ec, std::size_t) { result = ec; });
    if (auto ec = finish(result, timeout)) {
        return ec;
    }
    const std::uint32_t size = (std::uint32_t{header[1]} << 24) | (std::uint32_t{header[2]} << 16) |
                               (std::uint32_t{header[3]} << 8) | std::uint32_t{header[4]};
    if (size > kMaxFrameBody) {
        return std::make_error_code(std::errc::message_size);
    }
    out.type = static_cast<char>(header[0]);
    out.body.assign(size, '\0');
    if (size == 0) {
        return {};
    }
    const auto left =
        std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
    result = kPending;
    asio::async_read(socket_, asio::buffer(out.body.data(), size),
                     [&](const std::error_code& ec, std::size_t) { result = ec; });
    return finish(result, left.count() > 0 ? left : Millis(1));
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

std::error_code Channel::writeRaw(std::string_view bytes, Millis timeout) {
    std::error_code result = kPending;
    asio::async_write(socket_, asio::buffer(bytes.data(), bytes.size()),
                      [&](const std::error_code& ec, std::size_t) { result = ec; });
    return finish(result, timeout);
}

std::error_code Channel::waitClosed(Millis timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Frame ignored;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return asio::error::timed_out;
        }
        auto ec = read(ignored, left);
        if (ec == asio::error::timed_out) {
            return ec;
        }
        if (ec) {
            return {};  // end of stream or reset: the peer is gone
        }
    }
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

}  // namespace bench
