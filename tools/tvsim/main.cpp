// The simulated TV: one Samsung TV in developer mode on ADDRESS:26101 (the bench's wire, see
// tools/bridge/wire.h) and ADDRESS:8001 (the device description over HTTP), with its state in a
// folder. Runs until SIGTERM or SIGINT. Usage: quorvex_tvsim --help.
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "tools/bridge/wire.h"
#include "tools/tvsim/tv.h"

namespace {

using namespace std::chrono_literals;
using bench::Channel;
using bench::Frame;
namespace frame = bench::frame;

constexpr bench::Millis kIdleTimeout = 24h;  // the bridge server keeps its connection open
constexpr bench::Millis kAnswerTimeout = 60s;

const char* const kUsage =
    "usage: quorvex_tvsim --address 127.X.Y.Z --state DIR [options]\n"
    "  --port N                 bridge port (26101)\n"
    "  --http-port N            device description port (8001)\n"
    "  --tizen V                Tizen version: 2.4 (J/K sets) or 3.0 and later (3.0)\n"
    "  --model NAME             model name (UE40KU6000 for 2.4, else UE55MU7000)\n"
    "  --name TEXT              device name ([TV] Samsung MODEL)\n"
    "  --host-ip IP             Host PC IP: connections from elsewhere are reset (127.0.0.1)\n"
    "  --developer-mode on|off  off: every connection is reset (on)\n"
    "  --demand-certificate     refuse packages without a Samsung certificate (always from 7.0)\n"
    "  --drop-after BYTES       reset the connection after this many bytes of a push\n"
    "  --slow MS                pause before every line of an answer\n"
    "  --full-storage           installs fail with download failed[116]\n"
    "  --ready-file FILE        written once both ports listen\n";

bool parsePort(const char* text, unsigned short& port) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value <= 0 || value > 65535) {
        return false;
    }
    port = static_cast<unsigned short>(value);
    return true;
}

void serveBridge(tvsim::Tv& tv, Channel& link) {
    std::error_code ec;
    const auto peer = link.socket().remote_endpoint(ec).address().to_string();
    if (ec || !tv.accepts(peer)) {
        tv.log("reset: " + peer);
        link.reset();
        return;
    }
    tv.log("connection: " + peer);
    const long long dropAfter = tv.options().dropAfterBytes;
    for (;;) {
        Frame request;
        if (link.read(request, kIdleTimeout)) {
            return;
        }
        switch (request.type) {
            case frame::kHello:
                link.write(frame::kHello, tv.options().model, kAnswerTimeout);
                break;
            case frame::kPing:
                link.write(frame::kPing, {}, kAnswerTimeout);
                break;
            case frame::kShell: {
                const int status = tv.runShell(request.body, [&](const std::string& text) {
                    link.write(frame::kOut, text, kAnswerTimeout);
                });
                link.write(frame::kExit, std::to_string(status), kAnswerTimeout);
                break;
            }
            case frame::kPush: {
                const auto newline = request.body.find('\n');
                const std::string remote = request.body.substr(0, newline);
                tv.log("push: " + remote);
                if (auto refusal = tv.pushRefusal(remote)) {
                    link.write(frame::kFail, *refusal, kAnswerTimeout);
                    break;
                }
                const auto target = tv.hostPath(remote);
                std::filesystem::create_directories(target.parent_path(), ec);
                // Written in place: a push cut short leaves a partial file, as on a real TV.
                std::ofstream file(target, std::ios::binary | std::ios::trunc);
                if (!file) {
                    link.write(frame::kFail, "cannot write " + remote, kAnswerTimeout);
                    break;
                }
                link.write(frame::kAccept, {}, kAnswerTimeout);
                long long received = 0;
                for (;;) {
                    Frame piece;
                    if (link.read(piece, kAnswerTimeout)) {
                        return;
                    }
                    if (piece.type == frame::kDone) {
                        break;
                    }
                    std::size_t keep = piece.body.size();
                    if (dropAfter >= 0 && received + static_cast<long long>(keep) >= dropAfter) {
                        file.write(piece.body.data(), dropAfter - received);
                        file.close();
                        tv.log("dropped push after " + std::to_string(dropAfter) + " bytes");
                        link.reset();
                        return;
                    }
                    file.write(piece.body.data(), static_cast<std::streamsize>(keep));
                    received += static_cast<long long>(keep);
                }
                file.close();
                if (tv.options().slowMs > 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(tv.options().slowMs));
                }
                if (!file) {
                    link.write(frame::kFail, "write failed", kAnswerTimeout);
                } else {
                    link.write(frame::kExit, "0", kAnswerTimeout);
                }
                break;
            }
            default:
                link.reset();
                return;
        }
    }
}

void serveHttp(tvsim::Tv& tv, Channel& client) {
    std::string request;
    if (client.readUntil(request, "\r\n\r\n", 16 * 1024, 10s)) {
        return;
    }
    const auto lineEnd = request.find("\r\n");
    const std::string line = request.substr(0, lineEnd);
    std::string status = "404 Not Found";
    std::string body = "{\"error\":\"not found\"}";
    if (line.rfind("GET /api/v2/ ", 0) == 0 || line.rfind("GET /api/v2 ", 0) == 0) {
        status = "200 OK";
        body = tv.deviceJson();
    }
    client.writeRaw("HTTP/1.1 " + status +
                        "\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body,
                    10s);
    client.close();
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
        auto connection = std::make_shared<Channel>();
        std::error_code ec;
        acceptor.accept(connection->socket(), ec);
        if (ec) {
            std::this_thread::sleep_for(10ms);
            continue;
        }
        std::thread([&tv, connection, serve] {
            serve(tv, *connection);
            connection->close();
        }).detach();
    }
}

}  // namespace

int main(int argc, char** argv) {
    tvsim::TvOptions options;
    std::string readyFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&]() -> const char* { return argv[++i]; };
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--demand-certificate") {
            options.demandCertificate = true;
        } else if (arg == "--full-storage") {
            options.fullStorage = true;
        } else if (!hasValue) {
            std::fprintf(stderr, "tvsim: %s needs a value\n%s", arg.c_str(), kUsage);
            return 2;
        } else if (arg == "--address") {
            options.address = value();
        } else if (arg == "--state") {
            options.state = value();
        } else if (arg == "--tizen") {
            options.tizen = value();
        } else if (arg == "--model") {
            options.model = value();
        } else if (arg == "--name") {
            options.name = value();
        } else if (arg == "--host-ip") {
            options.hostIp = value();
        } else if (arg == "--ready-file") {
            readyFile = value();
        } else if (arg == "--developer-mode") {
            const std::string mode = value();
            if (mode != "on" && mode != "off") {
                std::fprintf(stderr, "tvsim: --developer-mode is on or off\n");
                return 2;
            }
            options.developerMode = mode == "on";
        } else if (arg == "--port" || arg == "--http-port") {
            if (!parsePort(value(), arg == "--port" ? options.port : options.httpPort)) {
                std::fprintf(stderr, "tvsim: %s needs a port number\n", arg.c_str());
                return 2;
            }
        } else if (arg == "--drop-after" || arg == "--slow") {
            char* end = nullptr;
            const long long number = std::strtoll(value(), &end, 10);
            if (*end != '\0' || number < 0) {
                std::fprintf(stderr, "tvsim: %s needs a number\n", arg.c_str());
                return 2;
            }
            if (arg == "--slow") {
                options.slowMs = static_cast<int>(number);
            } else {
                options.dropAfterBytes = number;
            }
        } else {
            std::fprintf(stderr, "tvsim: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    // The bench never listens beyond this machine: a TV lives on a loopback address.
    asio::ip::address_v4 address;
    if (bench::parseIpv4(options.address, address) || !bench::isLoopback(address)) {
        std::fprintf(stderr,
                     "tvsim: --address must be a loopback address (127.0.0.0/8), not '%s'\n",
                     options.address.c_str());
        return 2;
    }
    if (auto problem = tvsim::finishOptions(options)) {
        std::fprintf(stderr, "tvsim: %s\n", problem->c_str());
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
    if (!listen(bridgeAcceptor, address, options.port) ||
        !listen(httpAcceptor, address, options.httpPort)) {
        return 1;
    }
    std::thread(acceptLoop<decltype(&serveBridge)>, std::ref(bridgeAcceptor), std::ref(tv),
                &serveBridge)
        .detach();
    std::thread(acceptLoop<decltype(&serveHttp)>, std::ref(httpAcceptor), std::ref(tv), &serveHttp)
        .detach();
    std::printf("tvsim: %s listening on %s:%u and :%u (Tizen %s, %s)\n", options.model.c_str(),
                options.address.c_str(), options.port, options.httpPort, options.tizen.c_str(),
                options.state.c_str());
    std::fflush(stdout);
    if (!readyFile.empty()) {
        std::ofstream(readyFile) << getpid() << '\n';
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    tv.log("stopped by signal " + std::to_string(signal));
    std::fflush(nullptr);
    std::_Exit(0);  // detached threads may be mid-answer; state files are always whole
}
