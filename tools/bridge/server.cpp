#include "tools/bridge/server.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/bridge/process.h"
#include "tools/bridge/server_log.h"
#include "tools/bridge/thread_group.h"
#include "tools/bridge/transport.h"
#include "tools/net/channel.h"
#include "tools/protocol/host_service.h"

#ifndef _WIN32
#include <sys/socket.h>

#include <csignal>
#endif

namespace bridge {

namespace {

using namespace std::chrono_literals;

constexpr net::Millis kClientTimeout = 60s;  // a client sends its request within this
constexpr net::Millis kTvConnectTimeout = 1s;

std::string padRight(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

class Server {
  public:
    int run() {
        net::Channel listenerContext;  // only for its io_context
        asio::ip::tcp::acceptor acceptor(listenerContext.context());
        const asio::ip::tcp::endpoint endpoint(asio::ip::address_v4::loopback(), kServerPort);
        std::error_code ec;
        acceptor.open(endpoint.protocol(), ec);
#ifndef _WIN32
        // On Windows SO_REUSEADDR would let a second server take the port of a running one.
        if (!ec) {
            acceptor.set_option(asio::socket_base::reuse_address(true), ec);
        }
#endif
        if (!ec) {
            acceptor.bind(endpoint, ec);
        }
        if (!ec) {
            acceptor.listen(asio::socket_base::max_listen_connections, ec);
        }
        if (ec) {
            std::fprintf(stderr, "fatal: server listener(%u) cannot bind\n", kServerPort);
            return 255;
        }
        serverLog("server listening on 127.0.0.1:" + std::to_string(kServerPort));
        acceptor_ = &acceptor;
        touch();
        startIdleWatch();
        for (;;) {
            auto client = std::make_unique<net::Channel>();
            acceptor.accept(client->socket(), ec);
            if (ec) {
                std::this_thread::sleep_for(10ms);
                continue;
            }
            touch();
            ++active_;
            threads_.start([this, c = std::shared_ptr<net::Channel>(std::move(client))] {
                session(*c);
                c->close();
                touch();
                --active_;
            });
        }
    }

  private:
    // Tests set QUORVEX_BRIDGE_SERVER_IDLE_EXIT so that a server they failed to stop goes away.
    void startIdleWatch() {
        const char* value = std::getenv("QUORVEX_BRIDGE_SERVER_IDLE_EXIT");
        const long seconds = value ? std::strtol(value, nullptr, 10) : 0;
        if (seconds <= 0) {
            return;
        }
        threads_.start([this, seconds] {
            for (;;) {
                std::this_thread::sleep_for(1s);
                const auto idle = std::chrono::steady_clock::now().time_since_epoch().count() -
                                  lastActivity_.load();
                if (active_ == 0 &&
                    idle > std::chrono::steady_clock::duration(std::chrono::seconds(seconds))
                               .count()) {
                    serverLog("idle for " + std::to_string(seconds) + " s, exiting");
                    std::_Exit(0);
                }
            }
        });
    }

    void touch() {
        lastActivity_ = std::chrono::steady_clock::now().time_since_epoch().count();
    }

    // Reads one "%04x<service>" request; the bytes after it stay in `reader`.
    static bool readService(net::Channel& client, protocol::ServiceReader& reader,
                            std::string& service) {
        for (;;) {
            switch (reader.next(service)) {
                case protocol::ServiceReader::Status::kService:
                    return true;
                case protocol::ServiceReader::Status::kBadLength:
                    return false;
                case protocol::ServiceReader::Status::kNeedMore:
                    break;
            }
            std::string bytes;
            if (client.readSome(bytes, 4096, kClientTimeout)) {
                return false;
            }
            reader.feed(bytes);
        }
    }

    static void answer(net::Channel& client, const std::string& text) {
        client.write(protocol::encodeOkay() + protocol::encodeService(text), kClientTimeout);
    }
    static void fail(net::Channel& client, const std::string& message) {
        client.write(protocol::encodeFail(message), kClientTimeout);
    }

    void session(net::Channel& client) {
        protocol::ServiceReader reader;
        std::string service;
        if (!readService(client, reader, service)) {
            return;
        }
        serverLog("request: " + service);
        if (service == "host:kill") {
            // The port is free before the client hears OKAY, so that its next command starts
            // a new server instead of reaching this one on its way out.
            stopListening();
            client.write(protocol::encodeOkay(), kClientTimeout);
            serverLog("killed by a client");
            std::_Exit(0);  // at once, as the real server: its exe is free a moment later
        } else if (service == "host:version") {
            answer(client, "4.2.23");
        } else if (service == "host:devices") {
            answer(client, deviceList());
        } else if (startsWith(service, "host:connect:")) {
            answer(client, connect(service.substr(13)));
        } else if (startsWith(service, "host:disconnect:")) {
            answer(client, disconnect(service.substr(16)));
        } else if (service == "host:get-state" || startsWith(service, "host-serial:")) {
            getState(client, service);
        } else if (service == "host:transport-any" || startsWith(service, "host:transport:")) {
            const std::string serial =
                service == "host:transport-any" ? std::string() : service.substr(15);
            std::string problem;
            auto transport = target(serial, true, problem);
            if (!transport) {
                fail(client, problem);
                return;
            }
            client.write(protocol::encodeOkay(), kClientTimeout);
            std::string streamService;
            if (!readService(client, reader, streamService)) {
                return;
            }
            serverLog(serial + " stream: " + streamService);
            transport->relay(client, streamService, reader.takeRest());
        } else {
            fail(client, "unknown host service");
        }
    }

    // The target a request names, or the only one there is; otherwise why not, as the real
    // server words it.
    std::shared_ptr<Transport> target(const std::string& serial, bool mustBeOnline,
                                      std::string& problem) {
        std::shared_ptr<Transport> found;
        {
            std::lock_guard lock(mutex_);
            if (serial.empty()) {
                if (transports_.size() > 1) {
                    problem =
                        "error: more than one target found. Specify the target with -s option.";
                    return nullptr;
                }
                if (!transports_.empty()) {
                    found = transports_.front();
                }
            } else {
                for (auto& transport : transports_) {
                    if (transport->serial() == serial) {
                        found = transport;
                    }
                }
            }
        }
        if (!found) {
            problem = "error: target not found";
            return nullptr;
        }
        const std::string state = found->state();
        if (mustBeOnline && state != "device") {
            problem = "error: target " + state;
            return nullptr;
        }
        return found;
    }

    void getState(net::Channel& client, const std::string& service) {
        std::string serial;
        if (startsWith(service, "host-serial:")) {
            const std::string rest = service.substr(12);
            const auto end = rest.rfind(":get-state");
            if (end == std::string::npos || end + 10 != rest.size()) {
                fail(client, "unknown host service");
                return;
            }
            serial = rest.substr(0, end);
        }
        std::string problem;
        auto transport = target(serial, false, problem);
        if (!transport) {
            fail(client, problem);
            return;
        }
        answer(client, transport->state());
    }

    std::string deviceList() {
        std::vector<std::shared_ptr<Transport>> all;
        {
            std::lock_guard lock(mutex_);
            all = transports_;
        }
        std::string text;
        for (auto& transport : all) {
            text += padRight(transport->serial(), 20) + "\t" + padRight(transport->state(), 10) +
                    "\t" + transport->model() + "\n";
        }
        return text;
    }

    std::string connect(const std::string& argument) {
        std::string host = argument;
        std::string portText = std::to_string(kTvPort);
        if (const auto colon = argument.rfind(':'); colon != std::string::npos) {
            host = argument.substr(0, colon);
            portText = argument.substr(colon + 1);
        }
        const std::string serial = host + ":" + portText;
        {
            std::lock_guard lock(mutex_);
            for (auto& transport : transports_) {
                if (transport->serial() == serial) {
                    return serial + " is already connected";
                }
            }
        }
        const std::string refused = "error: failed to connect to remote target '" + host + "'";
        asio::ip::address_v4 address;
        char* end = nullptr;
        const long port = std::strtol(portText.c_str(), &end, 10);
        if (net::parseIpv4(host, address) || portText.empty() || *end != '\0' || port <= 0 ||
            port > 65535) {
            return refused;
        }
        auto tv = std::make_unique<net::Channel>();
        if (tv->connect({address, static_cast<unsigned short>(port)}, kTvConnectTimeout)) {
            serverLog(serial + ": TCP connect failed");
            return refused;
        }
        std::error_code ignored;
        tv->socket().set_option(asio::socket_base::keep_alive(true), ignored);
        auto transport = std::make_shared<Transport>(serial, std::move(tv));
        {
            std::lock_guard lock(mutex_);
            transports_.push_back(transport);
        }
        transport->start(threads_,
                         [this](const std::shared_ptr<Transport>& gone) { forget(gone); });
        return "connecting to " + serial + " ...";
    }

    std::string disconnect(const std::string& serial) {
        std::vector<std::shared_ptr<Transport>> chosen;
        {
            std::lock_guard lock(mutex_);
            for (auto& transport : transports_) {
                if (serial.empty() || transport->serial() == serial) {
                    chosen.push_back(transport);
                }
            }
        }
        if (chosen.empty() && !serial.empty()) {
            return "error: no such device '" + serial + "'";
        }
        for (auto& transport : chosen) {
            forget(transport);
            transport->stop();
        }
        return serial.empty() ? "disconnected everything" : "disconnected " + serial;
    }

    void stopListening() {
        std::error_code ignored;
#ifndef _WIN32
        // Wakes the accept blocked in the main thread; a bare close would leave it listening.
        ::shutdown(acceptor_->native_handle(), SHUT_RDWR);
#endif
        acceptor_->close(ignored);
    }

    void forget(const std::shared_ptr<Transport>& transport) {
        std::lock_guard lock(mutex_);
        std::erase(transports_, transport);
    }

    ThreadGroup threads_;
    asio::ip::tcp::acceptor* acceptor_ = nullptr;
    std::mutex mutex_;
    std::vector<std::shared_ptr<Transport>> transports_;  // in the order they were connected
    std::atomic<int> active_{0};
    std::atomic<std::int64_t> lastActivity_{0};
};

}  // namespace

int runServer() {
    detachServerStdio();
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
#endif
    openServerLog();
    Server server;
    return server.run();
}

}  // namespace bridge
