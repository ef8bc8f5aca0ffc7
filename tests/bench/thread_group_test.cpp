// The bridge server's threads: every one started runs, and ended ones are joined. Under Wine this
// also runs as a Windows program, where detached threads were at times lost or crashed.
#include "tools/bridge/thread_group.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/time_limits.h"

namespace {

using namespace std::chrono_literals;

bool waitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + test_time::limit(60s);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(ThreadGroup, ManyShortThreadsAllRunAndAreJoinedOnceEnded) {
    bridge::ThreadGroup threads;
    std::atomic<int> ran{0};
    constexpr int kThreads = 3000;  // as many as a long run of the server's connections
    for (int i = 0; i < kThreads; ++i) {
        threads.start([&ran] { ++ran; });
    }
    ASSERT_TRUE(waitUntil([&] { return ran == kThreads; })) << ran << " of " << kThreads << " ran";
    EXPECT_TRUE(waitUntil([&] { return threads.running() == 0; })) << threads.running();
}

TEST(ThreadGroup, AThreadMayStartAnotherAndOnlyEndedOnesAreJoined) {
    bridge::ThreadGroup threads;
    std::atomic<bool> inner{false};
    std::atomic<bool> release{false};
    threads.start([&] {
        threads.start([&] { inner = true; });  // as a session starts a TV's link
        while (!release) {
            std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(waitUntil([&] { return inner.load(); }));
    EXPECT_TRUE(waitUntil([&] { return threads.running() == 1; }));  // the outer one waits
    release = true;
    EXPECT_TRUE(waitUntil([&] { return threads.running() == 0; }));
}

TEST(ThreadGroup, DestructionWaitsForThreadsStillRunning) {
    std::atomic<bool> finished{false};
    {
        bridge::ThreadGroup threads;
        threads.start([&] {
            std::this_thread::sleep_for(100ms);
            finished = true;
        });
    }
    EXPECT_TRUE(finished);
}

}  // namespace
