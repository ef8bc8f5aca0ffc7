#pragma once
// The bench's own wire: frames of one type byte, a 4-byte big-endian length and a body, over TCP.
// The bridge client talks it to its server, and the server to the simulated TV. Every read and
// write has a deadline, so a silent peer turns into an error instead of a hang.
#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace bench {

using Millis = std::chrono::milliseconds;

// Frame types. Requests and answers share one alphabet; each side knows which it expects.
namespace frame {
constexpr char kRequest = 'Q';  // client -> server: command words, '\n'-separated
constexpr char kOut = 'O';      // text for standard output
constexpr char kErr = 'E';      // text for standard error
constexpr char kExit = 'X';     // end of an answer; body: exit status
constexpr char kHello = 'H';    // server <-> TV greeting; the TV answers with its model name
constexpr char kShell = 'S';    // server -> TV: a command line for the TV's shell
constexpr char kPush = 'P';     // start of a push: "remote path\nsize"
constexpr char kAccept = 'A';   // the receiver takes the push
constexpr char kFail = 'F';     // the receiver refuses; body: reason
constexpr char kData = 'D';     // a piece of a pushed file
constexpr char kDone = 'Z';     // the last piece has been sent
constexpr char kPing = 'I';     // liveness check, answered with the same type
}  // namespace frame

constexpr std::size_t kMaxFrameBody = 1 << 20;
constexpr std::size_t kPushChunk = 64 * 1024;

struct Frame {
    char type = 0;
    std::string body;
};

// A TCP connection with its own io_context, used from one thread at a time.
class Channel {
  public:
    Channel() : socket_(io_) {}
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    asio::ip::tcp::socket& socket() { return socket_; }
    asio::io_context& context() { return io_; }

    std::error_code connect(const asio::ip::tcp::endpoint& to, Millis timeout);
    std::error_code write(char type, std::string_view body, Millis timeout);
    std::error_code read(Frame& out, Millis timeout);
    // Unframed traffic, for the simulated TV's HTTP port: reads until `delimiter` has arrived
    // (or `limit` bytes, then fails), and writes raw bytes.
    std::error_code readUntil(std::string& out, std::string_view delimiter, std::size_t limit,
                              Millis timeout);
    std::error_code writeRaw(std::string_view bytes, Millis timeout);
    // Waits for the peer to close; any frame that still arrives is discarded.
    std::error_code waitClosed(Millis timeout);
    // Ends the connection with a TCP reset, as a TV does to a host it does not accept.
    void reset();
    void close();
    bool isOpen() const { return socket_.is_open(); }

  private:
    // Runs the pending operation until it sets `result` or the deadline passes.
    std::error_code finish(std::error_code& result, Millis timeout);

    asio::io_context io_;
    asio::ip::tcp::socket socket_;
};

// "a.b.c.d" -> address, or an error when it is not a dotted IPv4 address.
std::error_code parseIpv4(std::string_view text, asio::ip::address_v4& out);
bool isLoopback(const asio::ip::address_v4& address);

}  // namespace bench
