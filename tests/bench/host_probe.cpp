// Plays a bridge host against a simulated TV where neither the real tool nor the stand-in goes:
// a host that waits before its CNXN and announces a small maximum payload, requests cut into
// one-byte WRTEs, a sync stream left idle, a packet whose data check is wrong.
//   quorvex_host_probe ADDRESS   (port 26101; prints one line per check, exit 1 if any failed)
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "tests/time_limits.h"
#include "tools/net/channel.h"
#include "tools/protocol/packet.h"
#include "tools/protocol/sync.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using protocol::Packet;
namespace command = protocol::command;
namespace sync = protocol::sync;

int failures = 0;

// How long an answer that must come may take: only a hang-catcher.
const net::Millis answered = test_time::limit(net::Millis(30s));

void check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    failures += ok ? 0 : 1;
}

class Host {
  public:
    explicit Host(const asio::ip::address_v4& tv) : reader_(protocol::kTvMaxPayload) {
        connected_ = !channel_.connect({tv, 26101}, answered);
    }
    bool connected() const { return connected_; }

    bool send(const Packet& packet) {
        return !channel_.write(protocol::encodePacket(packet), answered);
    }
    // The next packet within `timeout`, or nothing (time-out, closed, or a bad packet).
    std::optional<Packet> receive(net::Millis timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            Packet packet;
            const auto status = reader_.next(packet);
            if (status == protocol::PacketReader::Status::kPacket) {
                return packet;
            }
            const auto left = std::chrono::duration_cast<net::Millis>(
                deadline - std::chrono::steady_clock::now());
            std::string bytes;
            if (status != protocol::PacketReader::Status::kNeedMore || left.count() <= 0) {
                return std::nullopt;
            }
            if (const auto ec = channel_.readSome(bytes, 65536, left)) {
                ended_ = ec != asio::error::timed_out;
                return std::nullopt;
            }
            reader_.feed(bytes);
        }
    }
    // Whether nothing arrives for `time` (without giving up the connection, as a read's
    // time-out would).
    bool quietFor(net::Millis time) {
        std::this_thread::sleep_for(time);
        std::error_code ec;
        return reader_.buffered() == 0 && channel_.socket().available(ec) == 0 && !ec;
    }
    bool sendRaw(const std::string& bytes) { return !channel_.write(bytes, answered); }
    // Whether the TV ended the connection (rather than a receive timing out).
    bool ended() const { return ended_; }

  private:
    net::Channel channel_;
    protocol::PacketReader reader_;
    bool connected_ = false;
    bool ended_ = false;
};

// Opens `service`; the TV's id, or 0 when it refused.
std::uint32_t open(Host& host, std::uint32_t ourId, const std::string& service) {
    host.send({command::kOpen, ourId, 0, service + std::string(1, '\0')});
    const auto answer = host.receive(answered);
    return answer && answer->command == command::kOkay && answer->arg1 == ourId ? answer->arg0 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    asio::ip::address_v4 tv;
    if (argc != 2 || net::parseIpv4(argv[1], tv)) {
        std::fprintf(stderr, "usage: quorvex_host_probe ADDRESS\n");
        return 2;
    }
    {
        Host host(tv);
        check(host.connected(), "the TV takes the connection");
        // The host speaks first; a TV that answered before the CNXN would break a real host.
        check(host.quietFor(1500ms), "nothing from the TV before the host's CNXN");
        host.send({command::kCnxn, protocol::kHostVersion, 1024, std::string("host::\0", 7)});
        const auto banner = host.receive(answered);
        check(banner && banner->command == command::kCnxn &&
                  banner->arg0 == protocol::kDeviceVersion && banner->arg1 == 4096 &&
                  banner->payload.rfind("device::", 0) == 0 && banner->payload.ends_with("::0\0"s),
              "CNXN answered with version, 4096 and device::<model>::0");

        // Output within the 1024 bytes this host announced, one WRTE at a time.
        const std::uint32_t shell = open(host, 5, "shell:0 applist");
        check(shell != 0, "shell:0 applist opened");
        std::string output;
        bool withinMaximum = true;
        bool oneAtATime = true;
        for (;;) {
            const auto packet = host.receive(answered);
            if (!packet || packet->command == command::kClse) {
                check(packet && packet->arg0 == shell && packet->arg1 == 5,
                      "the TV closes the shell stream with CLSE(its id, ours)");
                break;
            }
            withinMaximum = withinMaximum && packet->payload.size() <= 1024;
            output += packet->payload;
            // Before acknowledging, nothing more may come on the stream.
            oneAtATime = oneAtATime && host.quietFor(100ms);
            host.send({command::kOkay, 5, shell, ""});
        }
        host.send({command::kClse, 5, shell, ""});
        check(withinMaximum, "every WRTE within the host's maximum");
        check(oneAtATime, "no second WRTE before the OKAY");
        check(output.find("Application List for user 5001\r\n") == 0, "output lines end \\r\\n");

        // A sync request cut into one-byte WRTEs: each acknowledged, the request still understood.
        const std::uint32_t files = open(host, 7, "sync:");
        check(files != 0, "sync: opened");
        const std::string stat = sync::encodeRequest(sync::kStat, "/home/owner/share/tmp");
        bool everyOneAcknowledged = true;
        for (char byte : stat) {
            host.send({command::kWrte, 7, files, std::string(1, byte)});
            const auto ack = host.receive(answered);
            everyOneAcknowledged = everyOneAcknowledged && ack && ack->command == command::kOkay &&
                                   ack->arg0 == files && ack->arg1 == 7;
        }
        check(everyOneAcknowledged, "an OKAY for every WRTE");
        const auto answer = host.receive(answered);
        check(answer && answer->command == command::kWrte && answer->payload.size() == 16 &&
                  protocol::readLe32(answer->payload, 0) == sync::kStat &&
                  protocol::readLe32(answer->payload, 4) == sync::kDirectoryMode,
              "STAT answered: a directory");
        host.send({command::kOkay, 7, files, ""});

        // Left idle, the sync stream gives up after 15 s (not sooner).
        const auto started = std::chrono::steady_clock::now();
        const auto timeout = host.receive(15s + answered);
        const auto waited = std::chrono::steady_clock::now() - started;
        check(timeout && timeout->command == command::kWrte &&
                  timeout->payload == sync::encodeFail("sync timeout") && waited >= 14s,
              "FAIL \"sync timeout\" after 15 s without a request");
        if (timeout) {
            host.send({command::kOkay, 7, files, ""});
        }
        const auto closing = host.receive(answered);
        check(closing && closing->command == command::kClse, "then the stream closes");
    }
    {
        Host host(tv);
        host.send({command::kCnxn, protocol::kHostVersion, 4096, std::string("host::\0", 7)});
        host.receive(answered);
        // An OKAY for no stream is ignored: the next OPEN is still answered.
        host.send({command::kOkay, 3, 99, ""});
        check(open(host, 9, "capability:") != 0, "a stray OKAY leaves the connection up");
        // A wrong data check: the TV drops the connection, as the real tool does.
        std::string bad = protocol::encodePacket({command::kOpen, 1, 0, std::string("sync:\0", 6)});
        bad[16] ^= 1;
        host.sendRaw(bad);
        while (host.receive(answered)) {
            // the capability stream's data and close, then the end
        }
        check(host.ended(), "a wrong data check drops the connection");
    }
    return failures == 0 ? 0 : 1;
}
