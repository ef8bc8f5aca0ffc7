// The questions to a TV against servers of the test's own on 127.0.0.1: a bridge port that
// accepts, a description port that answers, answers late, answers too much, or nothing at all.
#include "platform/net/asio_network.h"

#include <gtest/gtest.h>

#include <asio.hpp>

#include <thread>

#include "tests/net/test_servers.h"
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
using test::hangLimit;
using test::http;
using test::notFound;
using test::ok;
using test::TestServer;

namespace {

// Limits nothing here comes near: a question that waited one out would not end before the test's
// hang-catching limit, so it shows that an answer or a refusal ended it.
constexpr std::chrono::milliseconds patient = std::chrono::minutes(10);

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

}  // namespace
