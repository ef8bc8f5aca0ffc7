// The search for TVs and the idle watch, the real Asio code against the tests' own servers and
// SSDP devices: on loopback, and on the test LAN tests/net/test-lan.sh makes in the tests'
// namespace (this PC 10.77.0.1/24; 10.77.0.2-9 the tests' own hosts, 10.77.0.6 answering its
// knocks after a second; every other address silent). Only hang-catching time limits here.
#include <gtest/gtest.h>

#include <asio.hpp>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "platform/net/asio_network.h"
#include "platform/net/ssdp_message.h"
#include "tests/net/test_servers.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/addresses_win32.h"
#include "platform/win32/process_win32.h"
#else
#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/memory/message_queue.h"
#include "platform/posix/addresses_posix.h"
#include "platform/posix/process_posix.h"
#endif

using namespace std::chrono_literals;
using asio::ip::tcp;
using asio::ip::udp;
using Clock = std::chrono::steady_clock;
using platform::FoundHost;
using platform::SearchNetwork;
using test::hangLimit;
using test::http;
using test::notFound;
using test::ok;
using test::TestServer;

namespace {

std::wstring lan(int n) {
    return L"10.77.0." + std::to_wstring(n);
}

std::string lanText(int n) {
    return "10.77.0." + std::to_string(n);
}

// The test LAN's hosts from..to, less `except`.
std::vector<std::wstring> lanHosts(int from, int to, std::set<int> except = {}) {
    std::vector<std::wstring> hosts;
    for (int n = from; n <= to; ++n) {
        if (!except.contains(n))
            hosts.push_back(lan(n));
    }
    return hosts;
}

bool underWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

bool haveTestLan() {
    asio::io_context io;
    udp::socket socket(io);
    std::error_code ec;
    socket.open(udp::v4(), ec);
    if (!ec)
        socket.bind({asio::ip::make_address_v4("10.77.0.6"), 0}, ec);
    return !ec;
}

#define REQUIRE_TEST_LAN()                                                           \
    if (!haveTestLan()) {                                                            \
        GTEST_SKIP() << "no test LAN here: these run through tests/net/test-lan.sh"; \
    }

std::string tvJson(const std::string& name) {
    return R"({"device":{"type":"Samsung SmartTV","name":")" + name +
           R"(","model":"19_MUSEL_UHD","developerMode":"1","developerIP":"10.77.0.1"}})";
}

// A TV's two ports at an address: the bridge accepts, the description answers.
struct TestTv {
    explicit TestTv(int n, const std::string& name = "[TV] Test")
        : bridge(
              platform::tvBridgePort, [](tcp::socket&) {}, address(n).c_str()),
          description(platform::tvDescriptionPort,
                      http([name](const std::string&) { return ok(tvJson(name)); }),
                      address(n).c_str()) {}
    static std::string address(int n) { return lanText(n); }
    int connections() const { return bridge.connections() + description.connections(); }
    TestServer bridge;
    TestServer description;
};

// An SSDP device at 10.77.0.N: listens on the group's port, joined there, records what comes
// (with the TTL it came with, where the host tells), answers each M-SEARCH with `reply` (nothing
// when it gives nothing), by unicast from its own address, and multicasts what it is told to.
class SsdpDevice {
  public:
    struct Datagram {
        std::string text;
        udp::endpoint from;
        int ttl = -1;
    };
    using Reply = std::function<std::optional<std::string>(const platform::net::SsdpMessage&)>;

    SsdpDevice(int n, Reply reply) : listen_(io_), send_(io_), reply_(std::move(reply)) {
        const auto own = asio::ip::make_address_v4(lanText(n));
        const auto group = asio::ip::make_address_v4(platform::net::ssdpGroup);
        listen_.open(udp::v4());
        listen_.set_option(asio::socket_base::reuse_address(true));
        listen_.bind({asio::ip::address_v4::any(), platform::net::ssdpPort});
        listen_.set_option(asio::ip::multicast::join_group(group, own));
#ifndef _WIN32
        const int on = 1;
        setsockopt(listen_.native_handle(), IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
#endif
        send_.open(udp::v4());
        send_.bind({own, 0});
        send_.set_option(asio::ip::multicast::outbound_interface(own));
        send_.set_option(asio::ip::multicast::hops(1));
        wait();
        thread_ = std::thread([this] { io_.run(); });
    }
    ~SsdpDevice() {
        asio::post(io_, [this] {
            std::error_code ignored;
            listen_.close(ignored);
            send_.close(ignored);
        });
        io_.stop();
        thread_.join();
    }
    std::vector<Datagram> received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }
    void multicast(const std::string& text) {
        const udp::endpoint group(asio::ip::make_address_v4(platform::net::ssdpGroup),
                                  platform::net::ssdpPort);
        asio::post(io_, [this, text, group] {
            std::error_code ignored;
            send_.send_to(asio::buffer(text), group, 0, ignored);
        });
    }

  private:
    void wait() {
        listen_.async_wait(udp::socket::wait_read, [this](const std::error_code& ec) {
            if (ec)
                return;
            Datagram datagram;
            char buffer[4096];
            std::size_t size = 0;
#ifdef _WIN32
            std::error_code error;
            size = listen_.receive_from(asio::buffer(buffer), datagram.from, 0, error);
            if (error)
                return wait();
#else
            sockaddr_in from{};
            iovec part{buffer, sizeof buffer};
            alignas(cmsghdr) char control[256];
            msghdr message{};
            message.msg_name = &from;
            message.msg_namelen = sizeof from;
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const auto got = recvmsg(listen_.native_handle(), &message, 0);
            if (got < 0)
                return wait();
            size = static_cast<std::size_t>(got);
            datagram.from = {asio::ip::address_v4(ntohl(from.sin_addr.s_addr)), ntohs(from.sin_port)};
            for (auto* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL)
                    datagram.ttl = *reinterpret_cast<int*>(CMSG_DATA(c));
            }
#endif
            datagram.text.assign(buffer, size);
            {
                std::lock_guard lock(mutex_);
                received_.push_back(datagram);
            }
            const auto parsed = platform::net::parseSsdpMessage(datagram.text);
            if (parsed && parsed->kind == platform::net::SsdpKind::search) {
                if (const auto answer = reply_(*parsed)) {
                    std::error_code ignored;
                    send_.send_to(asio::buffer(*answer), datagram.from, 0, ignored);
                }
            }
            wait();
        });
    }

    asio::io_context io_;
    udp::socket listen_;
    udp::socket send_;
    Reply reply_;
    mutable std::mutex mutex_;
    std::vector<Datagram> received_;
    std::thread thread_;
};

// A Samsung set's reply, as they come: upper-case names, the search's target echoed.
std::optional<std::string> samsungReply(const platform::net::SsdpMessage& search, int n) {
    return "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\nLOCATION: http://" +
           lanText(n) +
           ":7676/smp_15_\r\nSERVER: SHP, UPnP/1.0, Samsung UPnP SDK/1.0\r\nST: " + search.target +
           "\r\nUSN: uuid:0f7ff5fc-0000-1000-8000-0000000000" + std::to_string(n) +
           "::" + search.target + "\r\nContent-Length: 0\r\n\r\n";
}

std::string notify(const std::string& target, int n) {
    return "NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nCACHE-CONTROL: max-age=1800\r\n"
           "LOCATION: http://" +
           lanText(n) + ":7676/smp_15_\r\nNT: " + target +
           "\r\nNTS: ssdp:alive\r\nSERVER: SHP, UPnP/1.0, Samsung UPnP SDK/1.0\r\nUSN: uuid:1::" +
           target + "\r\n\r\n";
}

// What a search or a watch reported, as the network thread handed it over.
struct Heard {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<FoundHost> hosts;
    std::optional<platform::SearchReport> report;
    bool foundAfterEnd = false;

    void add(const FoundHost& host) {
        std::lock_guard lock(mutex);
        foundAfterEnd = foundAfterEnd || report.has_value();
        hosts.push_back(host);
        changed.notify_all();
    }
    void end(const platform::SearchReport& given) {
        std::lock_guard lock(mutex);
        report = given;
        changed.notify_all();
    }
    template <typename Condition>
    bool waitUntil(Condition condition) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, hangLimit, [&] { return condition(); });
    }
    std::vector<FoundHost> of(const std::wstring& address) {
        std::lock_guard lock(mutex);
        std::vector<FoundHost> result;
        for (const auto& host : hosts) {
            if (host.address == address)
                result.push_back(host);
        }
        return result;
    }
};

platform::SearchEvents eventsInto(const std::shared_ptr<Heard>& heard) {
    return {[heard](const FoundHost& host) { heard->add(host); },
            [heard](const platform::SearchReport& report) { heard->end(report); }};
}

class SearchTest : public ::testing::Test {
  protected:
    // Runs a search to its end.
    std::shared_ptr<Heard> search(const std::vector<SearchNetwork>& networks,
                                  const std::vector<std::wstring>& named,
                                  const platform::SearchLimits& limits) {
        auto heard = std::make_shared<Heard>();
        auto pending = network.search(networks, named, limits, eventsInto(heard));
        EXPECT_TRUE(heard->waitUntil([&] { return heard->report.has_value(); }))
            << "the search never ended";
        return heard;
    }

#ifdef _WIN32
    platform::win32::Win32Processes processes;
#else
    platform::memory::MessageQueue queue;
    platform::posix::PosixProcesses processes{queue};
#endif
    platform::net::AsioNetwork network{processes};
};

// The hosts 127.0.0.2 to 127.0.0.N.
std::vector<std::wstring> loopbackHosts(int n) {
    std::vector<std::wstring> hosts;
    for (int i = 2; i <= n; ++i)
        hosts.push_back(L"127.0.0." + std::to_wstring(i));
    return hosts;
}

TEST_F(SearchTest, EachHostIsReportedOnceWhenDescribedAndTheEndAfterThemWithinItsBound) {
    const TestServer tvBridge(
        platform::tvBridgePort, [](tcp::socket&) {}, "127.0.0.5");
    const TestServer tvDescription(
        platform::tvDescriptionPort,
        http([](const std::string&) { return ok("{\"type\":\"Samsung SmartTV\"}"); }), "127.0.0.5");
    const TestServer printer(platform::tvDescriptionPort,
                             http([](const std::string&) { return notFound; }), "127.0.0.9");
    const TestServer bridgeOnly(
        platform::tvBridgePort, [](tcp::socket&) {}, "127.0.0.30");
    platform::SearchLimits limits;
    limits.mostInFlight = 8;
    limits.ssdpListen = 100ms;
    const auto heard = search({{L"127.0.0.1", loopbackHosts(40)}}, {}, limits);
    ASSERT_EQ(heard->hosts.size(), 3u);
    EXPECT_FALSE(heard->foundAfterEnd);
    const auto tv = heard->of(L"127.0.0.5");
    ASSERT_EQ(tv.size(), 1u);
    EXPECT_TRUE(tv[0].answers.bridgeOpen);
    EXPECT_TRUE(tv[0].descriptionPortOpen);
    EXPECT_EQ(tv[0].answers.description, "{\"type\":\"Samsung SmartTV\"}");
    EXPECT_FALSE(tv[0].named);
    const auto other = heard->of(L"127.0.0.9");
    ASSERT_EQ(other.size(), 1u);
    EXPECT_FALSE(other[0].answers.bridgeOpen);
    EXPECT_TRUE(other[0].descriptionPortOpen);
    EXPECT_FALSE(other[0].answers.description);
    const auto bridge = heard->of(L"127.0.0.30");
    ASSERT_EQ(bridge.size(), 1u);
    EXPECT_TRUE(bridge[0].answers.bridgeOpen);
    EXPECT_FALSE(bridge[0].descriptionPortOpen);
    EXPECT_LE(heard->report->mostInFlight, 8);
    EXPECT_GE(heard->report->mostInFlight, 2) << "the knocks ran one at a time";
    // Each host refuses or accepts its description port, so each is knocked at on both ports;
    // the two that accept it are asked their description too.
    EXPECT_EQ(heard->report->connections, 39 * 2 + 2);
}

TEST_F(SearchTest, ACancelledSearchNeverReports) {
    // The description port accepts and never answers, so the search is still running.
    const TestServer silent(
        platform::tvDescriptionPort, [](tcp::socket&) {}, "127.0.0.2");
    auto heard = std::make_shared<Heard>();
    auto pending = network.search({{L"127.0.0.1", loopbackHosts(3)}}, {}, {}, eventsInto(heard));
    std::this_thread::sleep_for(200ms);
    pending.reset();
    std::this_thread::sleep_for(2500ms);
    EXPECT_TRUE(heard->hosts.empty());
    EXPECT_FALSE(heard->report);

    // An empty search is over at once.
    auto none = std::make_shared<Heard>();
    auto empty = network.search({}, {}, {}, eventsInto(none));
    EXPECT_TRUE(none->waitUntil([&] { return none->report.has_value(); }));
    EXPECT_TRUE(none->hosts.empty());
    EXPECT_THROW(network.search({{L"10.0.0.1", {L"10.0.0.300"}}}, {}, {}, {}), std::exception);
}

TEST_F(SearchTest, TheSsdpSearchGoesOutFromTheAdapterEachTargetTwiceNeverBeyondTheLan) {
    REQUIRE_TEST_LAN();
    const SsdpDevice device(5, [](const auto&) -> std::optional<std::string> { return {}; });
    const auto heard = search({{lan(1), lanHosts(2, 12)}}, {}, {});
    std::map<std::string, int> searches;
    for (const auto& datagram : device.received()) {
        const auto message = platform::net::parseSsdpMessage(datagram.text);
        if (!message || message->kind != platform::net::SsdpKind::search)
            continue;
        ++searches[message->target];
        EXPECT_EQ(datagram.from.address().to_string(), "10.77.0.1");
        EXPECT_EQ(datagram.text.rfind("M-SEARCH * HTTP/1.1\r\n", 0), 0u) << datagram.text;
        for (const char* header : {"\r\nHOST: 239.255.255.250:1900\r\n",
                                   "\r\nMAN: \"ssdp:discover\"\r\n", "\r\nMX: 1\r\n"}) {
            EXPECT_NE(datagram.text.find(header), std::string::npos) << datagram.text;
        }
#ifndef _WIN32
        EXPECT_EQ(datagram.ttl, 1);
#endif
    }
    EXPECT_EQ(searches,
              (std::map<std::string, int>{{"urn:dial-multiscreen-org:service:dial:1", 2},
                                          {"urn:samsung.com:device:RemoteControlReceiver:1", 2},
                                          {"urn:schemas-upnp-org:device:MediaRenderer:1", 2}}));
    EXPECT_EQ(heard->report->datagrams, 6);
    EXPECT_EQ(heard->report->ssdpReplies, 0);
}

TEST_F(SearchTest, AnSsdpReplyNamesALateAnsweringHostTheSweepAloneGivesUp) {
    REQUIRE_TEST_LAN();
    if (underWine()) {
        // Wine binds a UDP socket bound to an address to that address's interface instead, so the
        // test device's replies to this PC go out from the PC's own address. A device on a host
        // of its own (the end-to-end scenarios' LAN) shows it under Wine.
        GTEST_SKIP() << "the test device cannot reply from its own address under Wine";
    }
    // 10.77.0.6 answers its knocks after a second: the sweep's 0.8 s gives it up.
    const TestTv slow(6, "[TV] Slow");
    const auto hosts = lanHosts(2, 40);
    {
        const auto heard = search({{lan(1), hosts}}, {}, {});
        EXPECT_TRUE(heard->of(lan(6)).empty()) << "control: the sweep alone missed it";
    }
    const SsdpDevice device(6, [](const auto& search) { return samsungReply(search, 6); });
    const auto heard = search({{lan(1), hosts}}, {}, {});
    const auto found = heard->of(lan(6));
    ASSERT_EQ(found.size(), 1u) << "named by SSDP, it was waited for";
    EXPECT_TRUE(found[0].named);
    EXPECT_TRUE(found[0].answers.bridgeOpen);
    EXPECT_EQ(found[0].answers.description, tvJson("[TV] Slow"));
    EXPECT_GE(heard->report->ssdpReplies, 1);
}

TEST_F(SearchTest, ANamedHostIsWaitedForAndNothingGoesOutsideTheTargets) {
    REQUIRE_TEST_LAN();
    const TestTv slow(6, "[TV] Slow");
    const TestTv outside(7, "[TV] Outside");
    // 10.77.0.7 is not among the hosts the search may contact: neither the neighbour table nor
    // its SSDP replies bring it in.
    const SsdpDevice device(7, [](const auto& search) { return samsungReply(search, 7); });
    const auto heard = search({{lan(1), lanHosts(2, 30, {7})}}, {lan(6), lan(7)}, {});
    const auto found = heard->of(lan(6));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].named);
    EXPECT_TRUE(found[0].answers.bridgeOpen);
    EXPECT_TRUE(heard->of(lan(7)).empty());
    EXPECT_EQ(outside.connections(), 0);
    EXPECT_EQ(heard->report->ssdpReplies, 0) << "a reply from outside counts for nothing";
    EXPECT_FALSE(device.received().empty()) << "control: the device heard the search";
}

#ifndef _WIN32
// The connections to the test LAN being opened, as the kernel lists them (local and remote
// address and port of each).
std::set<std::string> connecting() {
    std::ifstream file("/proc/net/tcp");
    std::string line;
    std::getline(file, line);
    std::set<std::string> sockets;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        // 10.77.0.x, as the kernel prints it: the address's bytes in the host's order.
        const auto address = std::stoul(remote.substr(0, 8), nullptr, 16);
        if (state == "02" && (address & 0xFFFFFF) == 0x004D0A)
            sockets.insert(local + " " + remote);
    }
    return sockets;
}

TEST_F(SearchTest, TheBoundOfConnectionsHoldsCountedFromOutsideWhileNamedHostsTakeTheirRoom) {
    REQUIRE_TEST_LAN();
    const TestTv slow(6, "[TV] Slow");
    const TestTv tv(5, "[TV] Fast");
    const SsdpDevice device(6, [](const auto& search) { return samsungReply(search, 6); });
    std::atomic<bool> searching = true;
    std::atomic<int> most = 0;
    // One listing of the kernel's sockets is no single moment: a connection that closes while it
    // is read and the one opened next can both be in it. The sockets in two listings running,
    // though, were all open together between them.
    std::thread counter([&] {
        auto before = connecting();
        while (searching) {
            std::this_thread::sleep_for(2ms);
            auto now = connecting();
            int both = 0;
            for (const auto& socket : now)
                both += before.contains(socket) ? 1 : 0;
            most = std::max(most.load(), both);
            before = std::move(now);
        }
    });
    platform::SearchLimits limits;
    limits.mostInFlight = 16;
    // The hosts in an order that puts the two answering ones behind many silent ones.
    auto hosts = lanHosts(10, 100);
    hosts.push_back(lan(5));
    hosts.push_back(lan(6));
    const auto heard = search({{lan(1), hosts}}, {}, limits);
    searching = false;
    counter.join();
    EXPECT_LE(most, 16);
    EXPECT_GE(most, 8) << "control: the count saw the search fill its connections";
    EXPECT_LE(heard->report->mostInFlight, 16);
    EXPECT_EQ(heard->of(lan(5)).size(), 1u);
    ASSERT_EQ(heard->of(lan(6)).size(), 1u) << "named by SSDP behind a full sweep";
    EXPECT_TRUE(heard->of(lan(6))[0].named);
    EXPECT_EQ(heard->hosts.size(), 2u);
}
#endif

class WatchTest : public SearchTest {
  protected:
    std::unique_ptr<platform::PendingSearch> watch(const std::vector<std::wstring>& listed,
                                                   std::set<int> except = {}) {
        platform::WatchLimits limits;
        limits.interval = 300ms;
        limits.announcedGap = 50ms;
        return network.watch({{lan(1), lanHosts(2, 40, std::move(except))}}, listed, limits,
                             [heard = heard](const FoundHost& host) { heard->add(host); });
    }
    std::shared_ptr<Heard> heard = std::make_shared<Heard>();
};

TEST_F(WatchTest, ListedTvsAreAskedAgainUntilTheWatchIsCancelled) {
    REQUIRE_TEST_LAN();
    std::optional<TestServer> bridge;
    bridge.emplace(
        platform::tvBridgePort, [](tcp::socket&) {}, "10.77.0.5");
    const TestServer description(platform::tvDescriptionPort,
                                 http([](const std::string&) { return ok(tvJson("[TV] A")); }),
                                 "10.77.0.5");
    // A listed host outside the networks is never asked.
    const TestTv outside(7);
    auto pending = watch({lan(5), lan(7), lan(9)}, {7});
    ASSERT_TRUE(heard->waitUntil([&] {
        return std::count_if(heard->hosts.begin(), heard->hosts.end(),
                             [](const auto& h) { return h.address == L"10.77.0.5"; }) >= 2;
    }));
    for (const auto& host : heard->of(lan(5))) {
        EXPECT_TRUE(host.answers.bridgeOpen);
        EXPECT_EQ(host.answers.description, tvJson("[TV] A"));
    }
    // 10.77.0.9 has nothing listening: its answers say so, and it stays asked.
    ASSERT_FALSE(heard->of(lan(9)).empty());
    EXPECT_FALSE(heard->of(lan(9))[0].answers.bridgeOpen);
    EXPECT_FALSE(heard->of(lan(9))[0].answers.description);

    // The TV's bridge port closes: the next answers say so by themselves.
    bridge.reset();
    ASSERT_TRUE(heard->waitUntil([&] {
        return !heard->hosts.empty() && heard->hosts.back().address == L"10.77.0.5" &&
               !heard->hosts.back().answers.bridgeOpen;
    }));
    EXPECT_EQ(outside.connections(), 0);

    pending.reset();
    std::size_t heardThen = 0;
    {
        std::lock_guard lock(heard->mutex);
        heardThen = heard->hosts.size();
    }
    std::this_thread::sleep_for(1s);
    std::lock_guard lock(heard->mutex);
    EXPECT_EQ(heard->hosts.size(), heardThen) << "the watch spoke after it was cancelled";
}

TEST_F(WatchTest, AHostThatAnnouncesItselfIsKnockedAtOnceAndDescribed) {
    REQUIRE_TEST_LAN();
    const TestTv announced(8, "[TV] Announced");
    const TestTv outside(7, "[TV] Outside");
    const TestTv other(9, "[TV] Other");
    auto pending = watch({}, {7});
    // Give the watch its socket before anyone announces.
    std::this_thread::sleep_for(300ms);
    const auto quiet = [](const auto&) -> std::optional<std::string> { return std::nullopt; };
    SsdpDevice at8(8, quiet);
    SsdpDevice at7(7, quiet);
    SsdpDevice at9(9, quiet);
    // Three times, as devices repeat themselves; from outside the networks; and a target that is
    // no TV's.
    for (int i = 0; i < 3; ++i) {
        at8.multicast(notify("urn:samsung.com:device:RemoteControlReceiver:1", 8));
        at7.multicast(notify("urn:samsung.com:device:RemoteControlReceiver:1", 7));
        at9.multicast(notify("upnp:rootdevice", 9));
    }
    ASSERT_TRUE(heard->waitUntil([&] { return !heard->hosts.empty(); }));
    const auto found = heard->of(lan(8));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].answers.bridgeOpen);
    EXPECT_EQ(found[0].answers.description, tvJson("[TV] Announced"));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(announced.bridge.connections(), 1) << "knocked at once, not once an announcement";
    EXPECT_EQ(outside.connections(), 0);
    EXPECT_EQ(other.connections(), 0);
    EXPECT_EQ(heard->hosts.size(), 1u);
}

TEST(Neighbours, TheHostsThisPcKnowsWithTheirHardwareAddressesOnly) {
    REQUIRE_TEST_LAN();
    // An address being resolved (a packet to it waits for its hardware address) is no host yet.
    {
        asio::io_context io;
        udp::socket socket(io, udp::v4());
        std::error_code ignored;
        socket.send_to(asio::buffer("x", 1), {asio::ip::make_address_v4("10.77.0.60"), 9}, 0,
                       ignored);
    }
#ifdef _WIN32
    platform::win32::AdapterAddresses source;
#else
    platform::posix::IfaddrsAddresses source;
#endif
    auto known = source.neighbours();
    std::sort(known.begin(), known.end());
    EXPECT_EQ(known, (std::vector<std::wstring>{lan(50), lan(51), lan(52)}));
}

}  // namespace
