// Stand-in for the TV bridge tool: the same commands, words and output shapes as the real tool
// (as far as the installer uses it), over the bench's own wire to the simulated TV.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/bridge/process.h"
#include "tools/bridge/server.h"
#include "tools/bridge/wire.h"

namespace {

using namespace std::chrono_literals;
using bench::Channel;
using bench::Frame;
using bench::Millis;
namespace frame = bench::frame;

constexpr Millis kServerConnectTimeout = 2s;
constexpr Millis kServerStartTimeout = 20s;  // a first Wine process start can be slow
constexpr Millis kAnswerTimeout = 600s;      // the server gives up on a TV well before this
constexpr Millis kServerExitTimeout = 10s;

void print(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

int usage() {
    print(stderr,
          "usage: [-s SERIAL] COMMAND\n"
          "  connect HOST[:PORT]     connect to a target (port 26101 if left out)\n"
          "  disconnect [HOST:PORT]  disconnect one target, or all\n"
          "  devices                 list connected targets\n"
          "  shell [0] WORDS...      run a command line on the target\n"
          "  push LOCAL REMOTE       copy a file to the target\n"
          "  start-server            start the server if it is not running\n"
          "  kill-server             stop the server\n"
          "environment: QUORVEX_BRIDGE_SERVER_PORT (default 26099)\n");
    return 1;
}

std::optional<unsigned short> serverPort() {
    const char* value = std::getenv("QUORVEX_BRIDGE_SERVER_PORT");
    if (value == nullptr || *value == '\0') {
        return bench::kDefaultServerPort;
    }
    char* end = nullptr;
    const long port = std::strtol(value, &end, 10);
    if (*end != '\0' || port <= 0 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<unsigned short>(port);
}

bool connectServer(Channel& channel, unsigned short port) {
    return !channel.connect({asio::ip::address_v4::loopback(), port}, kServerConnectTimeout);
}

// Connects to the server, starting it first when none runs, with the real tool's messages.
bool openServer(Channel& channel, unsigned short port) {
    if (connectServer(channel, port)) {
        return true;
    }
    print(stdout, "* Server is not running. Start it now on port " + std::to_string(port) + " *\n");
    std::string error;
    if (!bench::startServerProcess(port, error)) {
        print(stderr, "error: " + error + "\n");
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kServerStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        channel.close();
        if (connectServer(channel, port)) {
            print(stdout, "* Server has started successfully *\n");
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    print(stderr, "error: the server did not start\n");
    return false;
}

// Prints the server's answer as it arrives; returns the exit status it ends with.
int relay(Channel& channel) {
    for (;;) {
        Frame answer;
        if (channel.read(answer, kAnswerTimeout)) {
            print(stderr, "error: lost the connection to the server\n");
            return 1;
        }
        switch (answer.type) {
            case frame::kOut:
                print(stdout, answer.body);
                break;
            case frame::kErr:
                print(stderr, answer.body);
                break;
            case frame::kExit:
                return std::atoi(answer.body.c_str());
            default:
                print(stderr, "error: protocol fault\n");
                return 1;
        }
    }
}

int request(unsigned short port, const std::string& text) {
    Channel channel;
    if (!openServer(channel, port)) {
        return 1;
    }
    if (channel.write(frame::kRequest, text, kServerConnectTimeout)) {
        print(stderr, "error: lost the connection to the server\n");
        return 1;
    }
    return relay(channel);
}

int killServer(unsigned short port) {
    Channel channel;
    if (!connectServer(channel, port)) {
        print(stdout, "info: Server is not running\n");
        return 0;
    }
    Frame answer;
    if (channel.write(frame::kRequest, "kill", kServerConnectTimeout) ||
        channel.read(answer, kServerExitTimeout) || answer.type != frame::kExit) {
        print(stderr, "error: the server did not answer\n");
        return 1;
    }
    // Return only once the server is gone, so the caller can delete the executable right away.
    channel.waitClosed(kServerExitTimeout);
    bench::waitForProcessExit(std::strtoul(answer.body.c_str(), nullptr, 10), kServerExitTimeout);
    return 0;
}

std::string sizeText(std::uintmax_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + "B";
    }
    return std::to_string((bytes + 1023) / 1024) + "KB";
}

int push(unsigned short port, const std::string& serial, const std::string& local,
         std::string remote) {
    const std::filesystem::path localPath(
        std::u8string(reinterpret_cast<const char8_t*>(local.data()), local.size()));
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(localPath, ec);
    std::ifstream file(localPath, std::ios::binary);
    if (ec || !file) {
        print(stderr, "error: cannot stat '" + local + "': No such file or directory\n");
        return 1;
    }
    if (!remote.empty() && remote.back() == '/') {
        const auto name = localPath.filename().u8string();
        remote += std::string(name.begin(), name.end());
    }
    Channel channel;
    if (!openServer(channel, port)) {
        return 1;
    }
    const auto started = std::chrono::steady_clock::now();
    if (channel.write(frame::kRequest,
                      "push\n" + serial + "\n" + remote + "\n" + std::to_string(size),
                      kServerConnectTimeout)) {
        print(stderr, "error: lost the connection to the server\n");
        return 1;
    }
    Frame answer;
    if (channel.read(answer, kAnswerTimeout)) {
        print(stderr, "error: lost the connection to the server\n");
        return 1;
    }
    if (answer.type != frame::kAccept) {
        // Refused before any byte went: the answer is an error text and a status.
        if (answer.type == frame::kErr || answer.type == frame::kOut) {
            print(answer.type == frame::kErr ? stderr : stdout, answer.body);
        }
        return answer.type == frame::kExit ? std::atoi(answer.body.c_str()) : relay(channel);
    }
    std::string piece(bench::kPushChunk, '\0');
    while (file) {
        file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        const auto got = static_cast<std::size_t>(file.gcount());
        if (got == 0) {
            break;
        }
        if (channel.write(frame::kData, std::string_view(piece.data(), got), kAnswerTimeout)) {
            print(stderr, "error: lost the connection to the server\n");
            return 1;
        }
    }
    if (channel.write(frame::kDone, {}, kAnswerTimeout)) {
        print(stderr, "error: lost the connection to the server\n");
        return 1;
    }
    const int status = relay(channel);
    if (status != 0) {
        return status;
    }
    const double seconds = std::max(
        1e-3, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    char rate[160];
    std::snprintf(rate, sizeof rate, " %.0f KB/s (%llu bytes in %.3fs)\n",
                  static_cast<double>(size) / 1024.0 / seconds,
                  static_cast<unsigned long long>(size), seconds);
    print(stderr, "pushed " + local + " 100% " + sizeText(size) + "\n");
    print(stderr, "1 file(s) pushed. 0 file(s) skipped.\n");
    print(stderr, local + rate);
    return 0;
}

int run(std::vector<std::string> args) {
    if (args.size() == 3 && args[0] == "fork-server" && args[1] == "server") {
        char* end = nullptr;
        const long port = std::strtol(args[2].c_str(), &end, 10);
        return (*end == '\0' && port > 0 && port <= 65535)
                   ? bench::runServer(static_cast<unsigned short>(port))
                   : 1;
    }
    std::string serial;
    while (args.size() >= 2 && args[0] == "-s") {
        serial = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return usage();
    }
    const auto port = serverPort();
    if (!port) {
        print(stderr, "error: QUORVEX_BRIDGE_SERVER_PORT is not a port number\n");
        return 1;
    }
    const std::string& command = args[0];
    if (command == "kill-server" && args.size() == 1) {
        return killServer(*port);
    }
    if (command == "start-server" && args.size() == 1) {
        return request(*port, "ping");
    }
    if (command == "connect" && args.size() == 2) {
        return request(*port, "connect\n" + args[1]);
    }
    if (command == "disconnect" && args.size() <= 2) {
        return request(*port, "disconnect\n" + (args.size() == 2 ? args[1] : std::string()));
    }
    if (command == "devices" && args.size() == 1) {
        return request(*port, "devices");
    }
    if (command == "shell" && args.size() >= 2) {
        // "shell 0 WORDS": the words reach the TV joined by single spaces, as one command line.
        std::size_t first = (args[1] == "0" && args.size() > 2) ? 2 : 1;
        std::string line;
        for (std::size_t i = first; i < args.size(); ++i) {
            line += (i == first ? "" : " ") + args[i];
        }
        return request(*port, "shell\n" + serial + "\n" + line);
    }
    if (command == "push" && args.size() == 3) {
        return push(*port, serial, args[1], args[2]);
    }
    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(bench::programArguments(argc, argv));
    } catch (const std::exception& e) {
        print(stderr, std::string("error: ") + e.what() + "\n");
        return 1;
    }
}
