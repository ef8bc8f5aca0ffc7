#include "tools/bridge/server.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/bridge/process.h"
#include "tools/bridge/wire.h"

#ifndef _WIN32
#include <csignal>
#endif

namespace bench {

namespace {

using namespace std::chrono_literals;

constexpr Millis kClientTimeout = 60s;     // a client sends its next push piece within this
constexpr Millis kTvConnectTimeout = 5s;   // "failed to connect" after this
constexpr Millis kTvAnswerTimeout = 300s;  // a slow TV still answers within this
constexpr Millis kTvPingTimeout = 3s;

struct TvLink {
    std::mutex mutex;  // one request at a time on the connection
    std::string serial;
    std::string model;
    Channel channel;
};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part)) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == '\n') {
        parts.push_back({});
    }
    return parts;
}

std::string padRight(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

class Server {
  public:
    explicit Server(unsigned short port) : port_(port) {}

    int run() {
        Channel listenerContext;  // only for its io_context
        asio::ip::tcp::acceptor acceptor(listenerContext.context());
        const asio::ip::tcp::endpoint endpoint(asio::ip::address_v4::loopback(), port_);
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
            return 1;  // another server holds the port
        }
        startIdleWatch();
        for (;;) {
            auto client = std::make_unique<Channel>();
            acceptor.accept(client->socket(), ec);
            if (ec) {
                std::this_thread::sleep_for(10ms);
                continue;
            }
            touch();
            ++active_;
            std::thread([this, c = std::move(client)]() mutable {
                session(*c);
                c->close();
                touch();
                --active_;
            }).detach();
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
        std::thread([this, seconds] {
            for (;;) {
                std::this_thread::sleep_for(1s);
                const auto idle = std::chrono::steady_clock::now().time_since_epoch().count() -
                                  lastActivity_.load();
                if (active_ == 0 &&
                    idle > std::chrono::steady_clock::duration(std::chrono::seconds(seconds))
                               .count()) {
                    std::_Exit(0);
                }
            }
        }).detach();
    }

    void touch() {
        lastActivity_ = std::chrono::steady_clock::now().time_since_epoch().count();
    }

    void session(Channel& client) {
        Frame request;
        if (client.read(request, kClientTimeout) || request.type != frame::kRequest) {
            return;
        }
        const std::vector<std::string> words = splitLines(request.body);
        const std::string command = words.empty() ? std::string() : words[0];
        auto arg = [&](std::size_t i) { return i < words.size() ? words[i] : std::string(); };
        if (command == "kill") {
            client.write(frame::kExit, std::to_string(currentProcessId()), kClientTimeout);
            std::_Exit(0);  // the client waits for this process to be gone
        } else if (command == "connect") {
            connect(client, arg(1));
        } else if (command == "disconnect") {
            disconnect(client, arg(1));
        } else if (command == "devices") {
            devices(client);
        } else if (command == "shell") {
            shell(client, arg(1), arg(2));
        } else if (command == "push") {
            push(client, arg(1), arg(2), arg(3));
        } else if (command == "ping") {
            finish(client, 0);
        } else {
            fail(client, "error: unknown request '" + command + "'\n");
        }
    }

    void out(Channel& client, const std::string& text) {
        client.write(frame::kOut, text, kClientTimeout);
    }
    void finish(Channel& client, int status) {
        client.write(frame::kExit, std::to_string(status), kClientTimeout);
    }
    void fail(Channel& client, const std::string& message) {
        client.write(frame::kErr, message, kClientTimeout);
        finish(client, 1);
    }

    std::shared_ptr<TvLink> find(const std::string& serial) {
        std::lock_guard lock(mutex_);
        for (auto& link : links_) {
            if (link->serial == serial) {
                return link;
            }
        }
        return nullptr;
    }

    void drop(const std::shared_ptr<TvLink>& link) {
        link->channel.close();
        std::lock_guard lock(mutex_);
        std::erase(links_, link);
    }

    // The target a request names, or the only one there is; otherwise tells the client why not.
    std::shared_ptr<TvLink> target(Channel& client, const std::string& serial) {
        std::shared_ptr<TvLink> link;
        {
            std::lock_guard lock(mutex_);
            if (serial.empty()) {
                if (links_.size() > 1) {
                    fail(client,
                         "error: more than one target. Specify the target with -s option.\n");
                    return nullptr;
                }
                if (!links_.empty()) {
                    link = links_.front();
                }
            }
        }
        if (!serial.empty()) {
            link = find(serial);
        }
        if (!link) {
            fail(client, "error: target not found\n");
        }
        return link;
    }

    void connect(Channel& client, std::string serial) {
        std::string host = serial;
        std::string portText = std::to_string(kDefaultTvPort);
        if (const auto colon = serial.rfind(':'); colon != std::string::npos) {
            host = serial.substr(0, colon);
            portText = serial.substr(colon + 1);
        } else {
            serial += ":" + portText;
        }
        if (find(serial)) {
            out(client, serial + " is already connected\n");
            finish(client, 0);
            return;
        }
        out(client, "connecting to " + serial + " ...\n");
        asio::ip::address_v4 address;
        char* end = nullptr;
        const long port = std::strtol(portText.c_str(), &end, 10);
        auto link = std::make_shared<TvLink>();
        link->serial = serial;
        if (parseIpv4(host, address) || portText.empty() || *end != '\0' || port <= 0 ||
            port > 65535) {
            out(client, "failed to connect to " + serial + "\n");
            finish(client, 1);
            return;
        }
        const std::error_code connected =
            link->channel.connect({address, static_cast<unsigned short>(port)}, kTvConnectTimeout);
        // A TV that does not accept this host (wrong Host PC IP, developer mode off) resets the
        // connection; on loopback the reset can beat the connect's own completion.
        const bool reset = connected == asio::error::connection_reset ||
                           connected == asio::error::connection_aborted;
        if (connected && !reset) {
            out(client, "failed to connect to " + serial + "\n");
            finish(client, 1);
            return;
        }
        Frame hello;
        if (reset || link->channel.write(frame::kHello, "quorvex-bridge 1", kTvConnectTimeout) ||
            link->channel.read(hello, kTvConnectTimeout) || hello.type != frame::kHello) {
            link->channel.close();
            fail(client, "error: failed to connect to remote target '" + host + "'\n");
            return;
        }
        link->model = hello.body;
        {
            std::lock_guard lock(mutex_);
            links_.push_back(link);
        }
        out(client, "connected to " + serial + "\n");
        finish(client, 0);
    }

    void disconnect(Channel& client, const std::string& serial) {
        if (serial.empty()) {
            std::vector<std::shared_ptr<TvLink>> all;
            {
                std::lock_guard lock(mutex_);
                all = links_;
            }
            for (auto& link : all) {
                drop(link);
            }
            out(client, "disconnected everything\n");
            finish(client, 0);
            return;
        }
        auto link = find(serial);
        if (!link) {
            fail(client, "error: no such device '" + serial + "'\n");
            return;
        }
        drop(link);
        out(client, "disconnected " + serial + "\n");
        finish(client, 0);
    }

    void devices(Channel& client) {
        std::vector<std::shared_ptr<TvLink>> all;
        {
            std::lock_guard lock(mutex_);
            all = links_;
        }
        std::string text = "List of devices attached \n";
        for (auto& link : all) {
            std::unique_lock lock(link->mutex, std::try_to_lock);
            if (lock.owns_lock()) {
                // A TV that went away while idle is noticed here, as the real server notices it.
                Frame pong;
                if (link->channel.write(frame::kPing, {}, kTvPingTimeout) ||
                    link->channel.read(pong, kTvPingTimeout) || pong.type != frame::kPing) {
                    lock.unlock();
                    drop(link);
                    continue;
                }
            }
            text += padRight(link->serial, 20) + "\t" + padRight("device", 10) + "\t" +
                    link->model + "\n";
        }
        out(client, text);
        finish(client, 0);
    }

    void shell(Channel& client, const std::string& serial, const std::string& commandLine) {
        auto link = target(client, serial);
        if (!link) {
            return;
        }
        std::unique_lock lock(link->mutex);
        if (link->channel.write(frame::kShell, commandLine, kTvAnswerTimeout)) {
            lock.unlock();
            drop(link);
            fail(client, "error: target offline\n");
            return;
        }
        for (;;) {
            Frame answer;
            if (link->channel.read(answer, kTvAnswerTimeout)) {
                lock.unlock();
                drop(link);
                fail(client, "error: target offline\n");
                return;
            }
            if (answer.type == frame::kExit) {
                finish(client, 0);  // like the real tool: the TV-side status is not ours
                return;
            }
            client.write(answer.type == frame::kErr ? frame::kErr : frame::kOut, answer.body,
                         kClientTimeout);
        }
    }

    void push(Channel& client, const std::string& serial, const std::string& remote,
              const std::string& size) {
        auto link = target(client, serial);
        if (!link) {
            return;
        }
        std::unique_lock lock(link->mutex);
        Frame answer;
        if (link->channel.write(frame::kPush, remote + "\n" + size, kTvAnswerTimeout) ||
            link->channel.read(answer, kTvAnswerTimeout)) {
            lock.unlock();
            drop(link);
            fail(client, "error: target offline\n");
            return;
        }
        if (answer.type != frame::kAccept) {
            fail(client, "sdb sync: FAIL: " + answer.body + "\n");
            return;
        }
        client.write(frame::kAccept, {}, kClientTimeout);
        // Take every piece from the client even when the TV is gone, so the client always gets to
        // read our answer instead of a reset.
        bool tvAlive = true;
        for (;;) {
            Frame piece;
            if (client.read(piece, kClientTimeout)) {
                lock.unlock();
                drop(link);  // the TV holds a half-written file; start it over
                return;
            }
            if (piece.type == frame::kDone) {
                break;
            }
            if (tvAlive && link->channel.write(frame::kData, piece.body, kTvAnswerTimeout)) {
                tvAlive = false;
            }
        }
        if (tvAlive && !link->channel.write(frame::kDone, {}, kTvAnswerTimeout) &&
            !link->channel.read(answer, kTvAnswerTimeout)) {
            if (answer.type == frame::kExit) {
                finish(client, 0);
            } else {
                fail(client, "sdb sync: FAIL: " + answer.body + "\n");
            }
            return;
        }
        lock.unlock();
        drop(link);
        fail(client, "sdb sync: FAIL: connection to the target was lost\n");
    }

    unsigned short port_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<TvLink>> links_;  // in the order they were connected
    std::atomic<int> active_{0};
    std::atomic<std::int64_t> lastActivity_{0};
};

}  // namespace

int runServer(unsigned short port) {
    detachServerStdio();
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
#endif
    Server server(port);
    return server.run();
}

}  // namespace bench
