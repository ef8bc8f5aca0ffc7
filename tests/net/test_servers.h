#pragma once
// Servers of the tests' own for the network questions: TCP ports that accept, answer HTTP, or
// say nothing, each on a thread of its own.
#include <asio.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/time_limits.h"

namespace test {

// How long a test waits for what must happen before it calls it a hang.
inline const std::chrono::milliseconds hangLimit =
    test_time::limit(std::chrono::milliseconds(60000));

using asio::ip::tcp;

// Listens on ADDRESS:port (127.0.0.1 unless told) on a thread of its own. Each connection gets
// `serve`, which may answer and close it, or keep it open and silent.
class TestServer {
  public:
    using Serve = std::function<void(tcp::socket&)>;

    TestServer(unsigned short port, Serve serve, const char* address = "127.0.0.1")
        : acceptor_(io_), serve_(std::move(serve)) {
        const tcp::endpoint at(asio::ip::make_address_v4(address), port);
        acceptor_.open(at.protocol());
        acceptor_.set_option(asio::socket_base::reuse_address(true));
        acceptor_.bind(at);
        acceptor_.listen();
        accept();
        thread_ = std::thread([this] { io_.run(); });
    }
    ~TestServer() {
        asio::post(io_, [this] {
            std::error_code ignored;
            acceptor_.close(ignored);
            for (auto& s : open_)
                s->close(ignored);
        });
        io_.stop();
        thread_.join();
    }
    int connections() const { return connections_; }

  private:
    void accept() {
        acceptor_.async_accept([this](const std::error_code& ec, tcp::socket socket) {
            if (ec)
                return;
            ++connections_;
            auto kept = std::make_shared<tcp::socket>(std::move(socket));
            open_.push_back(kept);
            serve_(*kept);
            accept();
        });
    }

    asio::io_context io_;
    tcp::acceptor acceptor_;
    Serve serve_;
    std::vector<std::shared_ptr<tcp::socket>> open_;
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// An HTTP server: reads the request head, answers with what `reply` gives for its path, closes.
inline TestServer::Serve http(std::function<std::string(const std::string& path)> reply,
                              std::vector<std::string>* requests = nullptr) {
    return [reply, requests](tcp::socket& socket) {
        std::string head;
        std::error_code ec;
        asio::read_until(socket, asio::dynamic_buffer(head), "\r\n\r\n", ec);
        if (ec)
            return;
        if (requests != nullptr)
            requests->push_back(head);
        const auto start = head.find(' ') + 1;
        const std::string answer = reply(head.substr(start, head.find(' ', start) - start));
        asio::write(socket, asio::buffer(answer), ec);
        socket.close(ec);
    };
}

inline std::string ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline const std::string notFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";

}  // namespace test
