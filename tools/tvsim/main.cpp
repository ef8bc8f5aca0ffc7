// The simulated TV: one Samsung TV in developer mode (or not) on ADDRESS:26101, in the bridge's
// real protocol, ADDRESS:8001 (the device description over HTTP) and, on a LAN address, SSDP,
// with its state in a folder. Runs until SIGTERM or SIGINT. Usage: quorvex_tvsim --help.
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tools/net/channel.h"
#include "tools/tvsim/device_description.h"
#include "tools/tvsim/link.h"
#include "tools/tvsim/options.h"
#include "tools/tvsim/ssdp_responder.h"
#include "tools/tvsim/tv.h"

namespace {

using namespace std::chrono_literals;

void serveBridge(tvsim::Tv& tv, std::unique_ptr<net::Channel> connection) {
    const std::string peer = connection->peerAddress();
    // A real TV closes the connection of any host but its Host PC IP right after accepting it.
    if (!tv.accepts(peer)) {
        tv.log("refused: " + peer);
        connection->close();
        return;
    }
    tv.log("connection: " + peer);
    auto link = std::make_shared<tvsim::Link>(tv, std::move(connection));
    link->run();
}

void serveHttp(tvsim::Tv& tv, std::unique_ptr<net::Channel> client) {
    std::string head;
    const std::error_code ec = client->readUntil(head, "\r\n\r\n", 16 * 1024, 10s);
    if (ec && head.empty()) {
        return;
    }
    client->write(tvsim::httpResponse(tv.current(), head), 10s);
    client->close();
}

bool listen(asio::ip::tcp::acceptor& acceptor, const asio::ip::address_v4& address,
            unsigned short port) {
    std::error_code ec;
    const asio::ip::tcp::endpoint endpoint(address, port);
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    }
    if (!ec) {
        acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        std::fprintf(stderr, "tvsim: cannot listen on %s:%u: %s\n", address.to_string().c_str(),
                     port, ec.message().c_str());
        return false;
    }
    return true;
}

template <typename Serve>
void acceptLoop(asio::ip::tcp::acceptor& acceptor, tvsim::Tv& tv, Serve serve) {
    for (;;) {
        auto connection = std::make_unique<net::Channel>();
        std::error_code ec;
        acceptor.accept(connection->socket(), ec);
        if (ec) {
            std::this_thread::sleep_for(10ms);
            continue;
        }
        std::thread(serve, std::ref(tv), std::move(connection)).detach();
    }
}

// A network namespace other than the one tests/isolated.sh was started from (it passes that one's
// name on) and, where it can be read, other than PID 1's: a test's own, or a host on its LAN.
bool inOwnNetworkNamespace() {
    const char* outer = std::getenv("QUORVEX_OUTER_NETNS");
    std::error_code error;
    const auto mine = std::filesystem::read_symlink("/proc/self/ns/net", error);
    if (error || outer == nullptr || mine == std::filesystem::path(outer)) {
        return false;
    }
    const auto machine = std::filesystem::read_symlink("/proc/1/ns/net", error);
    return error || mine != machine;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& arg : args) {
        if (arg == "--help") {
            std::fputs(tvsim::kUsage, stdout);
            return 0;
        }
    }
    auto parsed = tvsim::parseOptions(args);
    if (auto* problem = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "tvsim: %s\n%s", problem->c_str(), tvsim::kUsage);
        return 2;
    }
    const tvsim::TvOptions options = std::get<tvsim::TvOptions>(parsed);
    // The bench never listens beyond this machine: outside a test's own network namespace a TV
    // lives on a loopback address.
    asio::ip::address_v4 address;
    const char* isolated = std::getenv("QUORVEX_ISOLATED");
    const bool inTestNamespace =
        isolated != nullptr && *isolated != '\0' && inOwnNetworkNamespace();
    if (net::parseIpv4(options.address, address) ||
        (!net::isLoopback(address) && !inTestNamespace)) {
        std::fprintf(stderr,
                     "tvsim: --address must be a loopback address (127.0.0.0/8), not '%s' (any "
                     "address inside a test's own network namespace, made by tests/isolated.sh "
                     "with unshare --net: QUORVEX_ISOLATED)\n",
                     options.address.c_str());
        return 2;
    }

    // Signals go to the main thread's sigwait only; every other thread inherits this mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::error_code ec;
    std::filesystem::create_directories(options.state, ec);
    tvsim::Tv tv(options);
    asio::io_context io;
    asio::ip::tcp::acceptor bridgeAcceptor(io);
    asio::ip::tcp::acceptor httpAcceptor(io);
    // With developer mode off or not yet active, or in standby, nothing listens on 26101: a
    // connection is refused. A TV just restarted opens it a while later.
    const auto bridgeOpens = options.bridgeOpensAfter();
    if ((bridgeOpens == 0 && !listen(bridgeAcceptor, address, options.port)) ||
        !listen(httpAcceptor, address, options.httpPort)) {
        return 1;
    }
    // SSDP on a LAN address only, which a TV has only inside a test's own namespace; its
    // multicast stays on that LAN.
    const bool ssdp = options.ssdp && !net::isLoopback(address) && inTestNamespace;
    tvsim::SsdpResponder responder(tv, address);
    if (ssdp && !responder.open()) {
        return 1;
    }
    if (bridgeOpens) {
        std::thread([&tv, &bridgeAcceptor, address, delay = *bridgeOpens, port = options.port] {
            if (delay > 0) {
                std::this_thread::sleep_until(tv.started() + std::chrono::seconds(delay));
                if (!listen(bridgeAcceptor, address, port)) {
                    std::_Exit(1);
                }
                tv.log("bridge port open");
            }
            acceptLoop(bridgeAcceptor, tv, &serveBridge);
        }).detach();
    }
    std::thread(acceptLoop<decltype(&serveHttp)>, std::ref(httpAcceptor), std::ref(tv), &serveHttp)
        .detach();
    if (ssdp) {
        responder.start();  // after the ports: a TV that announces itself answers at once
    }
    const std::string bridgeText =
        !bridgeOpens
            ? std::string("closed")
            : std::to_string(options.port) +
                  (*bridgeOpens > 0 ? " after " + std::to_string(*bridgeOpens) + " s" : "");
    std::printf(
        "tvsim: %s (%d, Tizen %s) on %s, bridge port %s, device description on :%u, SSDP %s "
        "(%s)\n",
        options.modelName.c_str(), options.year, options.tizen.c_str(), options.address.c_str(),
        bridgeText.c_str(), options.httpPort, ssdp ? "on" : "off", options.state.c_str());
    std::fflush(stdout);
    if (!options.readyFile.empty()) {
        std::ofstream(options.readyFile) << getpid() << '\n';
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    tv.log("stopped by signal " + std::to_string(signal));
    std::fflush(nullptr);
    std::_Exit(0);  // detached threads may be mid-answer; state files are always whole
}
