// The runner over real child processes on the host: /bin/sh lines, the in-memory message queue
// posted to from other threads.
#include "platform/posix/process_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/memory/message_queue.h"
#include "src/install/command_runner.h"
#include "tests/time_limits.h"
#include "tests/unit/helpers/counting_platform.h"
#include "tests/unit/temp_dir.h"

using namespace std::chrono_literals;
using platform::WaitResult;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

int openDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

template <typename Predicate>
bool eventually(Predicate predicate, std::chrono::milliseconds limit = 60s) {
    const auto deadline = Clock::now() + test_time::limit(limit);
    while (!predicate()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Gone from /proc, or at least not a zombie: someone has reaped it.
bool reaped(const std::string& pid) {
    const std::string stat = test::readAll("/proc/" + pid + "/stat");
    const auto close = stat.rfind(')');
    return stat.empty() || close == std::string::npos || stat.substr(close + 2, 1) != "Z";
}

class PosixRunnerTest : public ::testing::Test {
  protected:
    // Posts a message from another thread after a delay, as input arriving during a wait.
    void postLater(std::chrono::milliseconds delay, std::function<void()> message) {
        poster_ = std::thread([this, delay, message = std::move(message)] {
            std::this_thread::sleep_for(delay);
            queue.post(message);
        });
    }
    void TearDown() override {
        if (poster_.joinable())
            poster_.join();
    }

    test::TempDir dir;
    platform::memory::MessageQueue queue;
    platform::posix::PosixProcesses real{queue};
    test::CountingProcesses processes{real};
    test::CountingLoop loop{queue};
    platform::SystemClock clock;

  private:
    std::thread poster_;
};

TEST_F(PosixRunnerTest, ABlankLineDoesNotStartAndLeavesNothingOpen) {
    const int before = openDescriptors();
    runCommand(processes, loop, clock, L"");
    runCommand(processes, loop, clock, L" \t ");
    EXPECT_EQ(processes.starts, 2);
    EXPECT_TRUE(processes.waits.empty());
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(PosixRunnerTest, AMissingProgramEndsTheRunAndLeavesNothingOpen) {
    const int before = openDescriptors();
    runCommand(processes, loop, clock, L"quorvex-no-such-program --flag 2>/dev/null");
    EXPECT_EQ(processes.waits, std::vector{WaitResult::signalled});
    EXPECT_EQ(loop.dispatches, 0);
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(PosixRunnerTest, AChildEndingWithoutInputIsWaitedForOnceAndReaped) {
    const int before = openDescriptors();
    runCommand(processes, loop, clock, L"echo $$ > pid; sleep 0.1");
    EXPECT_EQ(processes.waits, std::vector{WaitResult::signalled});
    EXPECT_EQ(loop.dispatches, 0);
    const std::string pid = test::readAll("pid").substr(0, test::readAll("pid").find('\n'));
    ASSERT_FALSE(pid.empty());
    EXPECT_FALSE(fs::exists("/proc/" + pid)) << "the ended child was not reaped";
    EXPECT_EQ(openDescriptors(), before);
}

// A shell line that waits for the file `go` (at most a hang-catching limit), then touches `file`.
std::wstring afterGo(const wchar_t* file) {
    const auto seconds = std::chrono::seconds(test_time::limit(60s)).count();
    return L"i=0; while [ ! -e go ] && [ $i -lt " + std::to_wstring(seconds * 100) +
           L" ]; do sleep 0.01; i=$((i+1)); done; touch " + file;
}

TEST_F(PosixRunnerTest, InputIsDispatchedWhileTheChildRunsAndTheRunLastsUntilTheChildEnds) {
    // The child ends only after the handler ran: a runner that held the input back until the
    // child's end would see it end first, after the limit.
    bool childEndedBeforeDispatch = true;
    postLater(200ms, [&] {
        childEndedBeforeDispatch = fs::exists("ended");
        test::writeAll("go", "");
    });
    runCommand(processes, loop, clock, afterGo(L"ended"));
    EXPECT_TRUE(fs::exists("ended"));
    EXPECT_FALSE(childEndedBeforeDispatch);
    EXPECT_EQ(processes.waits, (std::vector{WaitResult::inputWaiting, WaitResult::signalled}));
    EXPECT_EQ(loop.dispatches, 1);
}

TEST_F(PosixRunnerTest, QuitDuringTheWaitReturnsWhileTheChildRunsOnAndIsReaped) {
    // The child ends only once the test lets it, after the run returned.
    bool closed = false;
    postLater(200ms, [&] {
        closed = true;
        queue.postQuit();
    });
    runCommand(processes, loop, clock, L"echo $$ > pid; " + afterGo(L"ended"));
    EXPECT_TRUE(closed);
    EXPECT_TRUE(queue.terminated());
    EXPECT_FALSE(fs::exists("ended"));
    EXPECT_EQ(processes.waits, (std::vector{WaitResult::inputWaiting, WaitResult::timedOut}));

    test::writeAll("go", "");
    EXPECT_TRUE(eventually([] { return fs::exists("ended"); })) << "the child did not run on";
    const std::string pid = test::readAll("pid").substr(0, test::readAll("pid").find('\n'));
    EXPECT_TRUE(eventually([&] { return reaped(pid); })) << "the child stayed a zombie";
}

TEST_F(PosixRunnerTest, TimeLimitsLeaveAHangingChildAndWaitForOneThatEndsInTime) {
    // A total limit on a child that outlives it, with no input at all: the run waits the limit
    // out (no less), and leaves the child running.
    const auto begin = Clock::now();
    EXPECT_EQ(runCommand(processes, loop, clock, afterGo(L"ended"), {.total = 300ms}),
              CommandEnd::leftRunning);
    EXPECT_GE(Clock::now() - begin, 300ms);
    EXPECT_FALSE(fs::exists("ended"));
    EXPECT_EQ(processes.waits, std::vector{WaitResult::timedOut});
    test::writeAll("go", "");

    // A quit with a grace period: the child that ends within it is waited for.
    postLater(100ms, [&] { queue.postQuit(); });
    EXPECT_EQ(runCommand(processes, loop, clock, L"sleep 0.5; touch graced",
                         {.afterQuit = test_time::limit(60s)}),
              CommandEnd::ended);
    EXPECT_TRUE(fs::exists("graced"));
}

TEST_F(PosixRunnerTest, ARunFromAHandlerEndsFirstAndTheOuterRunAtItsChildsEnd) {
    // The outer child ends only after the inner run returned.
    bool innerSawOuterEnd = true;
    bool innerEnded = false;
    postLater(100ms, [&] {
        runCommand(processes, loop, clock, L"sleep 0.1; touch inner");
        innerEnded = fs::exists("inner");
        innerSawOuterEnd = fs::exists("outer");
        test::writeAll("go", "");
    });
    runCommand(processes, loop, clock, afterGo(L"outer"));
    EXPECT_TRUE(innerEnded);
    EXPECT_FALSE(innerSawOuterEnd);
    EXPECT_TRUE(fs::exists("outer"));
    EXPECT_EQ(processes.starts, 2);
}

TEST_F(PosixRunnerTest, TheChildGetsOnlyStdio) {
    const int leaked = open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
    ASSERT_GE(leaked, 3);
    const std::wstring fd = std::to_wstring(leaked);
    runCommand(processes, loop, clock,
               L"if [ -e /proc/self/fd/" + fd + L" ]; then echo open; else echo closed; fi > out");
    close(leaked);
    EXPECT_EQ(test::readAll("out"), "closed\n");
}

TEST_F(PosixRunnerTest, TheLineReachesTheShellAsGiven) {
    runCommand(processes, loop, clock, L"printf '%s' 'a \"b\" \u00fc\u0436' > out");
    EXPECT_EQ(test::readAll("out"), "a \"b\" \xc3\xbc\xd0\xb6");
}

TEST_F(PosixRunnerTest, AShellPlantedInTheCurrentDirectoryNeverRuns) {
    test::writeAll("sh", "#!/bin/sh\ntouch planted-ran\n");
    fs::permissions("sh", fs::perms::owner_all);
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    setenv("PATH", (".:" + saved).c_str(), 1);
    runCommand(processes, loop, clock, L"touch real-ran");
    setenv("PATH", saved.c_str(), 1);
    EXPECT_TRUE(fs::exists("real-ran"));
    EXPECT_FALSE(fs::exists("planted-ran"));
}

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

TEST(MessageQueuePosixTest, TheDescriptorIsReadableExactlyWhileMessagesWait) {
    platform::memory::MessageQueue queue;
    const int fd = queue.readableWhilePending();
    EXPECT_FALSE(readable(fd));
    queue.post([] {});
    queue.post([] {});
    EXPECT_TRUE(readable(fd));
    queue.processMessages();
    EXPECT_FALSE(readable(fd));
    queue.postQuit();
    queue.post([] {});
    queue.processMessages();
    EXPECT_TRUE(queue.terminated());
    EXPECT_TRUE(readable(fd)) << "a message left after the quit still waits";
}

}  // namespace
