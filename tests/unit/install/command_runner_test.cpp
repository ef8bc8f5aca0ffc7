// The runner's order of calls over a scripted platform, and the in-memory message queue it is
// tested with on the host.
#include "src/install/command_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <thread>

#include "platform/memory/fake_clock.h"
#include "platform/memory/message_queue.h"

using platform::WaitResult;
using platform::memory::MessageQueue;

using namespace std::chrono_literals;

namespace {

using Log = std::vector<std::wstring>;

// Each known command line has a script of wait results; what a step does runs during that wait
// (input "arrives"). An unknown line cannot start, like a missing program.
class ScriptedProcesses final : public platform::Processes {
  public:
    struct Step {
        WaitResult result;
        std::function<void()> during;
    };

    explicit ScriptedProcesses(Log& log) : log_(log) {}

    std::map<std::wstring, std::deque<Step>> scripts;

    std::unique_ptr<platform::ChildProcess> start(const std::wstring& commandLine) override {
        log_.push_back(L"start " + commandLine);
        if (!scripts.contains(commandLine))
            return nullptr;
        return std::make_unique<Child>(commandLine, log_);
    }

    // A wait logs "wait LINE", with ", child only" when it serves no input (the application is
    // ending) and ", N ms" when it has a time limit. A step that times out moves the clock on.
    std::unique_ptr<platform::Signal> newSignal() override { return nullptr; }
    WaitResult wait(platform::Waitable* child, bool serveInput,
                    std::chrono::milliseconds timeout) override {
        const std::wstring line = child ? dynamic_cast<Child*>(child)->line : L"(no child)";
        std::wstring entry = L"wait " + line;
        if (!serveInput)
            entry += L", child only";
        if (timeout != platform::waitForever)
            entry += L", " + std::to_wstring(timeout.count()) + L" ms";
        log_.push_back(entry);
        auto& steps = scripts[line];
        if (steps.empty()) {
            ADD_FAILURE() << "waited again after the script's end";
            return WaitResult::failed;
        }
        Step step = std::move(steps.front());
        steps.pop_front();
        if (step.during)
            step.during();
        if (step.result == WaitResult::timedOut)
            clock.advance(timeout);
        return step.result;
    }

    platform::memory::FakeClock clock;

  private:
    struct Child final : platform::ChildProcess {
        Child(std::wstring l, Log& log) : line(std::move(l)), log_(log) {}
        ~Child() override { log_.push_back(L"release " + line); }
        std::intptr_t systemHandle() const override { return -1; }
        std::wstring line;
        Log& log_;
    };
    Log& log_;
};

class LoggingLoop final : public platform::MessageLoop {
  public:
    LoggingLoop(MessageQueue& queue, Log& log) : queue_(queue), log_(log) {}
    void processMessages() override {
        log_.push_back(L"messages");
        queue_.processMessages();
    }
    bool terminated() const override { return queue_.terminated(); }
    void post(std::function<void()> message) override { queue_.post(std::move(message)); }

  private:
    MessageQueue& queue_;
    Log& log_;
};

class CommandRunnerTest : public ::testing::Test {
  protected:
    std::function<void()> note(std::wstring text) {
        return [this, text] { log.push_back(text); };
    }

    Log log;
    MessageQueue queue;
    ScriptedProcesses processes{log};
    LoggingLoop loop{queue, log};
    platform::memory::FakeClock& clock = processes.clock;
};

TEST_F(CommandRunnerTest, ALineThatCannotStartReturnsWithoutWaiting) {
    runCommand(processes, loop, clock, L"");
    runCommand(processes, loop, clock, L"no-such-program.exe /x");
    EXPECT_EQ(log, (Log{L"start ", L"start no-such-program.exe /x"}));
}

TEST_F(CommandRunnerTest, AChildEndingWithoutInputIsWaitedForOnceAndReleased) {
    const std::wstring line = L"cmd.exe /c \"iu.exe connect 192.168.0.5\"";
    processes.scripts[line] = {{WaitResult::signalled, nullptr}};
    runCommand(processes, loop, clock, line);
    EXPECT_EQ(log, (Log{L"start " + line, L"wait " + line, L"release " + line}));
}

TEST_F(CommandRunnerTest, InputDuringTheWaitIsDispatchedAndTheWaitGoesOn) {
    processes.scripts[L"long"] = {
        {WaitResult::inputWaiting, [&] { queue.post(note(L"paint")); }},
        {WaitResult::inputWaiting,
         [&] {
             queue.post(note(L"click"));
             queue.post(note(L"key"));
         }},
        {WaitResult::signalled, nullptr},
    };
    runCommand(processes, loop, clock, L"long");
    EXPECT_EQ(log, (Log{L"start long", L"wait long", L"messages", L"paint", L"wait long",
                        L"messages", L"click", L"key", L"wait long", L"release long"}));
}

TEST_F(CommandRunnerTest, AFailedWaitEndsTheRunWithoutDispatching) {
    processes.scripts[L"x"] = {{WaitResult::failed, [&] { queue.post(note(L"paint")); }}};
    runCommand(processes, loop, clock, L"x");
    EXPECT_EQ(log, (Log{L"start x", L"wait x", L"release x"}));
}

TEST_F(CommandRunnerTest, QuitDuringTheWaitReturnsRightAfterThatDispatch) {
    processes.scripts[L"long"] = {
        {WaitResult::inputWaiting,
         [&] {
             queue.post(note(L"close"));
             queue.postQuit();
             queue.post(note(L"after quit"));
         }},
        {WaitResult::signalled, nullptr},
    };
    runCommand(processes, loop, clock, L"long");
    // Without a grace period the child is looked at once more, without waiting for it.
    EXPECT_EQ(log, (Log{L"start long", L"wait long", L"messages", L"close",
                        L"wait long, child only, 0 ms", L"release long"}));
    EXPECT_TRUE(queue.terminated());
}

TEST_F(CommandRunnerTest, AfterAQuitTheChildGetsItsGracePeriodWithoutInputServed) {
    const auto quit = [&] { queue.postQuit(); };
    processes.scripts[L"ends in time"] = {{WaitResult::inputWaiting, quit},
                                          {WaitResult::signalled, nullptr}};
    EXPECT_EQ(runCommand(processes, loop, clock, L"ends in time", {.afterQuit = 10s}),
              CommandEnd::ended);
    EXPECT_EQ(log, (Log{L"start ends in time", L"wait ends in time", L"messages",
                        L"wait ends in time, child only, 10000 ms", L"release ends in time"}));

    log.clear();
    processes.scripts[L"hangs"] = {{WaitResult::timedOut, nullptr}};
    const auto before = clock.now();
    EXPECT_EQ(runCommand(processes, loop, clock, L"hangs", {.afterQuit = 10s}),
              CommandEnd::leftRunning);
    EXPECT_EQ(clock.now() - before, 10s);
    EXPECT_EQ(log, (Log{L"start hangs", L"wait hangs, child only, 10000 ms", L"release hangs"}));
}

TEST_F(CommandRunnerTest, ATotalLimitCountsTheTimeSpentServingInput) {
    processes.scripts[L"kill-server"] = {
        {WaitResult::inputWaiting, [&] { clock.advance(4s); }},
        {WaitResult::timedOut, nullptr},
    };
    EXPECT_EQ(runCommand(processes, loop, clock, L"kill-server", {.total = 10s}),
              CommandEnd::leftRunning);
    // Of the ten seconds, four went by while the first input was served.
    EXPECT_EQ(log, (Log{L"start kill-server", L"wait kill-server, 10000 ms", L"messages",
                        L"wait kill-server, 6000 ms", L"release kill-server"}));

    // A quit during a limited command: the grace period never outlasts the limit.
    log.clear();
    processes.scripts[L"kill-server"] = {
        {WaitResult::inputWaiting,
         [&] {
             clock.advance(8s);
             queue.postQuit();
         }},
        {WaitResult::signalled, nullptr},
    };
    runCommand(processes, loop, clock, L"kill-server", {.total = 10s, .afterQuit = 10s});
    EXPECT_EQ(log[3], L"wait kill-server, child only, 2000 ms");
}

TEST_F(CommandRunnerTest, ServingInputForAWhileDispatchesAndStopsAtTheDeadline) {
    processes.scripts[L"(no child)"] = {
        {WaitResult::inputWaiting, [&] { queue.post(note(L"paint")); }},
        {WaitResult::timedOut, nullptr},
    };
    serveInputFor(processes, loop, clock, 100ms);
    EXPECT_EQ(log,
              (Log{L"wait (no child), 100 ms", L"messages", L"paint", L"wait (no child), 100 ms"}));
}

TEST_F(CommandRunnerTest, ACommandRunFromAHandlerEndsBeforeTheOuterOne) {
    processes.scripts[L"outer"] = {
        {WaitResult::inputWaiting,
         [&] { queue.post([&] { runCommand(processes, loop, clock, L"inner"); }); }},
        {WaitResult::signalled, nullptr},
    };
    processes.scripts[L"inner"] = {
        {WaitResult::inputWaiting, [&] { queue.post(note(L"paint")); }},
        {WaitResult::signalled, nullptr},
    };
    runCommand(processes, loop, clock, L"outer");
    EXPECT_EQ(log, (Log{L"start outer", L"wait outer", L"messages", L"start inner", L"wait inner",
                        L"messages", L"paint", L"wait inner", L"release inner", L"wait outer",
                        L"release outer"}));
}

TEST_F(CommandRunnerTest, QuitInsideANestedRunEndsBothWaits) {
    processes.scripts[L"outer"] = {
        {WaitResult::inputWaiting,
         [&] { queue.post([&] { runCommand(processes, loop, clock, L"inner"); }); }},
        {WaitResult::signalled, nullptr},
    };
    processes.scripts[L"inner"] = {
        {WaitResult::inputWaiting, [&] { queue.postQuit(); }},
        {WaitResult::signalled, nullptr},
    };
    runCommand(processes, loop, clock, L"outer");
    EXPECT_EQ(log, (Log{L"start outer", L"wait outer", L"messages", L"start inner", L"wait inner",
                        L"messages", L"wait inner, child only, 0 ms", L"release inner",
                        L"wait outer, child only, 0 ms", L"release outer"}));
}

TEST(MessageQueueTest, RunsMessagesInOrderWithThoseTheyPost) {
    MessageQueue queue;
    std::vector<int> seen;
    queue.post([&] {
        seen.push_back(1);
        queue.post([&] { seen.push_back(3); });
    });
    queue.post([&] { seen.push_back(2); });
    queue.processMessages();
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    queue.processMessages();
    EXPECT_EQ(seen.size(), 3u);
}

TEST(MessageQueueTest, EndsWhenTheQuitMessageIsDispatchedNotWhenPosted) {
    MessageQueue queue;
    int after = 0;
    queue.postQuit();
    queue.post([&] { ++after; });
    EXPECT_FALSE(queue.terminated());
    queue.processMessages();
    EXPECT_TRUE(queue.terminated());
    queue.processMessages();
    EXPECT_EQ(after, 0);
}

TEST(MessageQueueTest, ANestedDispatchRunsEachMessageOnce) {
    MessageQueue queue;
    std::vector<int> seen;
    queue.post([&] {
        seen.push_back(1);
        queue.processMessages();
    });
    queue.post([&] { seen.push_back(2); });
    queue.post([&] { seen.push_back(3); });
    queue.processMessages();
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
}

TEST(MessageQueueTest, TakesMessagesFromOtherThreadsWhileDispatching) {
    MessageQueue queue;
    int count = 0;
    std::atomic<int> finished = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i)
                queue.post([&] { ++count; });
            ++finished;
        });
    }
    while (finished < 4)
        queue.processMessages();
    for (auto& thread : threads)
        thread.join();
    queue.processMessages();
    EXPECT_EQ(count, 4000);
}

}  // namespace
