#pragma once
// The TV's SSDP sockets on its LAN address: it answers searches sent to the group and to its own
// address while it is on, and announces itself when it comes on. Every datagram leaves from
// ADDRESS:1900 with a TTL of 1, so nothing goes beyond the test LAN.
#include <asio.hpp>

#include <mutex>
#include <string>

#include "tools/tvsim/tv.h"

namespace tvsim {

class SsdpResponder {
  public:
    SsdpResponder(Tv& tv, const asio::ip::address_v4& address);

    // Binds and joins the group; false (said on stderr) when it cannot.
    bool open();
    // Serves on threads of its own from now on; the notices go out now, or when the TV wakes.
    void start();

  private:
    void serve(asio::ip::udp::socket& socket, bool multicast);
    void announce();
    void send(const std::string& message, const asio::ip::udp::endpoint& to);

    Tv& tv_;
    const asio::ip::address_v4 address_;
    asio::io_context io_;
    asio::ip::udp::socket group_;  // 239.255.255.250:1900: searches of the whole LAN
    asio::ip::udp::socket own_;    // ADDRESS:1900: searches of this TV; what it sends
    std::mutex sendMutex_;
};

}  // namespace tvsim
