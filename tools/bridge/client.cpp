#include "tools/bridge/client.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tools/bridge/process.h"
#include "tools/bridge/server.h"
#include "tools/protocol/host_service.h"

namespace bridge {

namespace {

using namespace std::chrono_literals;

constexpr net::Millis kServerConnectTimeout = 2s;
constexpr auto kServerStartWait = 3s;         // the real tool waits this long, always
constexpr auto kServerStartPatience = 20s;    // then a slow (first Wine) start still gets this
constexpr net::Millis kAnswerTimeout = 600s;  // a slow TV's answer still comes within this

// Bench scripts that time nothing about the start shorten the fixed wait
// (QUORVEX_BRIDGE_START_WAIT_MS); the installer's tests and measurements keep the real one.
std::chrono::milliseconds serverStartWait() {
    const char* value = std::getenv("QUORVEX_BRIDGE_START_WAIT_MS");
    if (value == nullptr || *value == '\0') {
        return kServerStartWait;
    }
    char* end = nullptr;
    const long ms = std::strtol(value, &end, 10);
    if (*end != '\0' || ms < 0 || ms > 60000) {
        return kServerStartWait;
    }
    return std::chrono::milliseconds(ms);
}

void print(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace

void printOut(const std::string& text) {
    print(stdout, text);
}

void printErr(const std::string& text) {
    print(stderr, text);
}

HostAnswer readStatus(net::Channel& channel) {
    HostAnswer answer;
    std::string status;
    if (channel.readExact(status, 4, kAnswerTimeout)) {
        answer.lost = true;
        return answer;
    }
    if (status == "OKAY") {
        answer.okay = true;
        return answer;
    }
    std::string length;
    std::optional<std::size_t> size;
    if (status != "FAIL" || channel.readExact(length, 4, kAnswerTimeout) ||
        !(size = protocol::parseHex4(length)) ||
        channel.readExact(answer.text, *size, kAnswerTimeout)) {
        answer.lost = true;
    }
    return answer;
}

bool ServerClient::serverRunning() {
    net::Channel channel;
    return !channel.connect({asio::ip::address_v4::loopback(), kServerPort}, kServerConnectTimeout);
}

std::unique_ptr<net::Channel> ServerClient::connectServer() {
    auto channel = std::make_unique<net::Channel>();
    if (channel->connect({asio::ip::address_v4::loopback(), kServerPort}, kServerConnectTimeout)) {
        return nullptr;
    }
    return channel;
}

bool ServerClient::ensureServer() {
    if (started_ || serverRunning()) {
        started_ = true;
        return true;
    }
    printOut("* Server is not running. Start it now on port " + std::to_string(kServerPort) +
             " *\n");
    std::string error;
    if (!startServerProcess(error)) {
        printErr(error + "\n");
        printErr("error: failed to start server\n");
        return false;
    }
    std::this_thread::sleep_for(serverStartWait());
    const auto deadline = std::chrono::steady_clock::now() + kServerStartPatience;
    while (!serverRunning()) {
        if (std::chrono::steady_clock::now() > deadline) {
            printErr("error: failed to start server\n");
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    printOut("* Server has started successfully *\n");
    started_ = true;
    return true;
}

HostAnswer ServerClient::query(const std::string& service, bool withText) {
    HostAnswer answer;
    auto channel = connectServer();
    if (!channel || channel->write(protocol::encodeService(service), kServerConnectTimeout)) {
        answer.lost = true;
        return answer;
    }
    answer = readStatus(*channel);
    if (answer.okay && withText) {
        std::string length;
        std::optional<std::size_t> size;
        if (channel->readExact(length, 4, kAnswerTimeout) ||
            !(size = protocol::parseHex4(length)) ||
            channel->readExact(answer.text, *size, kAnswerTimeout)) {
            answer.okay = false;
            answer.lost = true;
        }
    }
    return answer;
}

std::unique_ptr<net::Channel> ServerClient::open(const std::string& serial,
                                                 const std::string& service, std::string& failure) {
    auto channel = connectServer();
    const std::string transport =
        serial.empty() ? std::string("host:transport-any") : "host:transport:" + serial;
    if (!channel || channel->write(protocol::encodeService(transport), kServerConnectTimeout)) {
        failure = "error: cannot connect to daemon";
        return nullptr;
    }
    HostAnswer answer = readStatus(*channel);
    if (answer.okay) {
        if (channel->write(protocol::encodeService(service), kServerConnectTimeout)) {
            answer.lost = true;
        } else {
            answer = readStatus(*channel);
        }
    }
    if (!answer.okay) {
        failure = answer.lost ? "error: protocol fault (no status)" : answer.text;
        return nullptr;
    }
    return channel;
}

}  // namespace bridge
