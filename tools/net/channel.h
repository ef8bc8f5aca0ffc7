#pragma once
// A TCP connection for the bench's tools, over Asio. Two ways to use it:
// - with deadlines (connect, read..., write): from one thread at a time; a silent peer turns into
//   a time-out instead of a hang;
// - blocking (receive, send): one thread receiving while others send (serialized by the caller),
//   as a link that multiplexes streams needs. Closing the receiving side from another thread
//   (shutdownReceive) wakes a blocked receive.
#include <asio.hpp>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

namespace net {

using Millis = std::chrono::milliseconds;

class Channel {
  public:
    Channel() : socket_(io_) {}
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    asio::ip::tcp::socket& socket() { return socket_; }
    asio::io_context& context() { return io_; }

    std::error_code connect(const asio::ip::tcp::endpoint& to, Millis timeout);
    // Appends what arrives (at least one byte, at most `max`) to `out`.
    std::error_code readSome(std::string& out, std::size_t max, Millis timeout);
    // Appends exactly `count` bytes to `out`.
    std::error_code readExact(std::string& out, std::size_t count, Millis timeout);
    // Reads until `delimiter` has arrived; fails once `limit` bytes came without it.
    std::error_code readUntil(std::string& out, std::string_view delimiter, std::size_t limit,
                              Millis timeout);
    std::error_code write(std::string_view bytes, Millis timeout);

    std::error_code receive(std::string& out, std::size_t max);  // appends; blocks
    std::error_code send(std::string_view bytes);                // blocks

    // The peer reads the end of the stream after what was sent.
    void shutdownSend();
    // Wakes a receive blocked in another thread; nothing goes on the wire.
    void shutdownReceive();
    // Ends the connection with a TCP reset.
    void reset();
    void close();
    std::string peerAddress();

  private:
    // Runs the pending operation until it sets `result` or the deadline passes.
    std::error_code finish(std::error_code& result, Millis timeout);
    // Reads into `count` bytes appended to `out`, keeping only what arrived.
    template <typename StartRead>
    std::error_code readInto(std::string& out, std::size_t count, Millis timeout,
                             StartRead startRead);

    asio::io_context io_;
    asio::ip::tcp::socket socket_;
};

// "a.b.c.d" -> address, or an error when it is not four dotted numbers.
std::error_code parseIpv4(std::string_view text, asio::ip::address_v4& out);
bool isLoopback(const asio::ip::address_v4& address);

}  // namespace net
