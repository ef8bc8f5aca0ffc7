// The questions to a TV against servers of the test's own on 127.0.0.1: a bridge port that
// accepts, a description port that answers, answers late, answers too much, or nothing at all.
#include "platform/net/asio_network.h"

#include <gtest/gtest.h>

#include <asio.hpp>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/time_limits.h"

#ifdef _WIN32
#include "platform/win32/process_win32.h"
#else
#include "platform/memory/message_queue.h"
#include "platform/posix/process_posix.h"
#endif

using namespace std::chrono_literals;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

// Listens on 127.0.0.1:port on a thread of its own. Each connection gets `serve`, which may
// answer and close it, or keep it open and silent.
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
TestServer::Serve http(std::function<std::string(const std::string& path)> reply,
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

std::string ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

const std::string notFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";

// Limits nothing here comes near: a question that waited one out would not end before the test's
// hang-catching limit (60 s), so it shows that an answer or a refusal ended it.
constexpr std::chrono::milliseconds patient = std::chrono::minutes(10);
const std::chrono::milliseconds hangLimit = test_time::limit(60s);

class NetworkTest : public ::testing::Test {
  protected:
    // Asks 127.0.0.1 and waits for all answers; the time it took goes to `took`.
    platform::TvAnswers ask(platform::TvQuestionLimits limits = {}) {
        const auto started = Clock::now();
        auto pending = network.askTv(L"127.0.0.1", limits);
        const auto result = processes.wait(&pending->done(), false, hangLimit);
        took = Clock::now() - started;
        EXPECT_EQ(result, platform::WaitResult::signalled);
        return pending->answers();
    }

#ifdef _WIN32
    platform::win32::Win32Processes processes;
#else
    platform::memory::MessageQueue queue;
    platform::posix::PosixProcesses processes{queue};
#endif
    platform::net::AsioNetwork network{processes};
    Clock::duration took{};
};

TEST_F(NetworkTest, AReadyTvAnswersBothQuestions) {
    std::vector<std::string> requests;
    const TestServer bridge(platform::tvBridgePort, [](tcp::socket&) {});
    const TestServer description(
        platform::tvDescriptionPort,
        http([](const std::string&) { return ok("{\"type\":\"tv\"}"); }, &requests));
    const auto answers = ask({patient, patient});
    EXPECT_TRUE(answers.bridgeOpen);
    EXPECT_EQ(answers.description, "{\"type\":\"tv\"}");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET /api/v2/ HTTP/1.1\r\n", 0), 0u) << requests[0];
    EXPECT_NE(requests[0].find("Host: 127.0.0.1:8001\r\n"), std::string::npos);
}

TEST_F(NetworkTest, AnOldSetIsAskedAtItsOlderPath) {
    const TestServer description(platform::tvDescriptionPort, http([](const std::string& path) {
                                     return path == "/ms/1.0/" ? ok("{\"Model\":\"15_X\"}")
                                                               : notFound;
                                 }));
    const auto answers = ask();
    EXPECT_FALSE(answers.bridgeOpen);
    EXPECT_EQ(answers.description, "{\"Model\":\"15_X\"}");
}

TEST_F(NetworkTest, NothingThereIsToldByTheRefusalsNotByTheLimits) {
    const auto answers = ask({patient, patient});
    EXPECT_FALSE(answers.bridgeOpen);
    EXPECT_FALSE(answers.description);
}

TEST_F(NetworkTest, EachQuestionKeepsItsOwnLimit) {
    // The description port accepts and never answers; the bridge port answers at once. The
    // description's own limit ends the questions, not the bridge's (which never would), and
    // not before it is reached.
    const TestServer bridge(platform::tvBridgePort, [](tcp::socket&) {});
    const TestServer silent(platform::tvDescriptionPort, [](tcp::socket&) {});
    const auto answers = ask({patient, 600ms});
    EXPECT_TRUE(answers.bridgeOpen);
    EXPECT_FALSE(answers.description);
    EXPECT_GE(took, 600ms);
}

TEST_F(NetworkTest, TooMuchOrBrokenIsNoDescription) {
    {
        const TestServer huge(platform::tvDescriptionPort, http([](const std::string&) {
                                  return ok(std::string(200 * 1024, 'x'));
                              }));
        EXPECT_FALSE(ask().description);
    }
    {
        const TestServer truncated(
            platform::tvDescriptionPort, http([](const std::string&) {
                return std::string("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"a\"");
            }));
        EXPECT_FALSE(ask().description);
    }
}

TEST_F(NetworkTest, AQuestionGivenUpOnLeavesTheNextOneSound) {
    const TestServer silent(platform::tvDescriptionPort, [](tcp::socket&) {});
    for (int i = 0; i < 20; ++i)
        network.askTv(L"127.0.0.1", {});  // abandoned at once, mid-connect or mid-read
    const TestServer bridge(platform::tvBridgePort, [](tcp::socket&) {});
    EXPECT_TRUE(ask({1500ms, 300ms}).bridgeOpen);
    EXPECT_THROW(network.askTv(L"not an address", {}), std::exception);
}

// The hosts 127.0.0.1 to 127.0.0.N.
std::vector<std::wstring> loopbackHosts(int n) {
    std::vector<std::wstring> hosts;
    for (int i = 1; i <= n; ++i)
        hosts.push_back(L"127.0.0." + std::to_wstring(i));
    return hosts;
}

TEST_F(NetworkTest, ASweepFindsWhatAnswersOnEitherPortWithinItsConnectionLimit) {
    const auto tvJson = [](const std::string&) { return ok("{\"type\":\"Samsung SmartTV\"}"); };
    const TestServer tvBridge(
        platform::tvBridgePort, [](tcp::socket&) {}, "127.0.0.5");
    const TestServer tvDescription(platform::tvDescriptionPort, http(tvJson), "127.0.0.5");
    const TestServer printer(platform::tvDescriptionPort,
                             http([](const std::string&) { return notFound; }), "127.0.0.9");
    const TestServer bridgeOnly(
        platform::tvBridgePort, [](tcp::socket&) {}, "127.0.0.30");

    // Every host answers or refuses: the sweep ends without waiting out any limit.
    std::mutex mutex;
    std::condition_variable cv;
    int finished = 0;
    const platform::SweepLimits limits{patient, patient, patient, patient, 8};
    auto sweep = network.sweep(loopbackHosts(40), limits, [&] {
        std::lock_guard lock(mutex);
        ++finished;
        cv.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, hangLimit, [&] { return finished == 1; }));
    }
    const auto report = sweep->report();
    ASSERT_EQ(report.found.size(), 3u);
    EXPECT_EQ(report.found[0].address, L"127.0.0.5");
    EXPECT_TRUE(report.found[0].answers.bridgeOpen);
    EXPECT_TRUE(report.found[0].descriptionPortOpen);
    EXPECT_EQ(report.found[0].answers.description, "{\"type\":\"Samsung SmartTV\"}");
    EXPECT_EQ(report.found[1].address, L"127.0.0.9");
    EXPECT_FALSE(report.found[1].answers.bridgeOpen);
    EXPECT_TRUE(report.found[1].descriptionPortOpen);
    EXPECT_FALSE(report.found[1].answers.description);
    EXPECT_EQ(report.found[2].address, L"127.0.0.30");
    EXPECT_TRUE(report.found[2].answers.bridgeOpen);
    EXPECT_LE(report.mostInFlight, 8);
    EXPECT_GE(report.mostInFlight, 2) << "the knocks ran one at a time";
}

TEST_F(NetworkTest, ACancelledSweepIsLeftAtOnceAndNeverReports) {
    // The description port accepts and never answers, so the sweep is still running.
    const TestServer silent(platform::tvDescriptionPort, [](tcp::socket&) {});
    std::atomic<int> finished = 0;
    // One that would run for minutes: leaving it does not wait for its questions (a hang here).
    auto endless = network.sweep(loopbackHosts(3), {patient, patient, patient, patient, 128},
                                 [&] { ++finished; });
    std::this_thread::sleep_for(200ms);
    endless.reset();
    // One with the usual limits, which its questions would reach in 2 s.
    auto sweep = network.sweep(loopbackHosts(3), {}, [&] { ++finished; });
    std::this_thread::sleep_for(200ms);
    sweep.reset();
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(finished, 0);

    // An empty sweep is over without waiting for anything.
    auto none = network.sweep({}, {patient, patient, patient, patient, 128}, [&] { ++finished; });
    for (const auto until = Clock::now() + hangLimit; finished == 0 && Clock::now() < until;)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(none->report().found.empty());
}

}  // namespace
