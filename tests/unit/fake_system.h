#pragma once
// A whole platform for the window's logic, made of fakes the tests can steer and inspect.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/memory/fake_addresses.h"
#include "platform/memory/fake_clock.h"
#include "platform/memory/memory_files.h"
#include "platform/system.h"

// A message queue the test fills: what it posts while a command "runs" is dispatched by the
// runner's wait, as the real queue's input would be.
class ScriptedLoop final : public platform::MessageLoop {
  public:
    std::deque<std::function<void()>> pending;
    bool quit = false;
    int dispatches = 0;

    void post(std::function<void()> message) { pending.push_back(std::move(message)); }
    void processMessages() override {
        while (!pending.empty() && !quit) {
            auto message = std::move(pending.front());
            pending.pop_front();
            ++dispatches;
            message();
        }
    }
    bool terminated() const override { return quit; }
};

// Records every command line. When a command "runs", onRun may write its log and post input;
// the child "ends" once no input is waiting, unless `hangs` says it never ends: then every wait
// for it runs out its time. Waits without a child pass their time on the fake clock.
class RecordingProcesses final : public platform::Processes {
  public:
    RecordingProcesses(ScriptedLoop& loop, platform::memory::FakeClock& clock)
        : loop_(loop), clock_(clock) {}

    struct Child final : platform::ChildProcess {
        size_t index;
        bool ran = false;
        explicit Child(size_t i) : index(i) {}
    };

    std::vector<std::wstring> started;
    std::function<void(size_t index, const std::wstring& commandLine)> onRun;
    std::function<bool(size_t index)> hangs;
    bool failToStart = false;
    // Every wait that served no input: the child's index (or -1), and its time limit.
    std::vector<std::pair<int, std::chrono::milliseconds>> waitsWithoutInput;

    std::unique_ptr<platform::ChildProcess> start(const std::wstring& commandLine) override {
        if (failToStart)
            return nullptr;
        started.push_back(commandLine);
        return std::make_unique<Child>(started.size() - 1);
    }
    platform::WaitResult wait(platform::ChildProcess* process, bool serveInput,
                              std::chrono::milliseconds timeout) override {
        auto* child = static_cast<Child*>(process);
        if (!serveInput)
            waitsWithoutInput.push_back({child ? static_cast<int>(child->index) : -1, timeout});
        if (child != nullptr && !child->ran) {
            child->ran = true;
            if (onRun)
                onRun(child->index, started[child->index]);
        }
        if (serveInput && !loop_.pending.empty())
            return platform::WaitResult::inputWaiting;
        if (child != nullptr && !(hangs && hangs(child->index)))
            return platform::WaitResult::childEnded;
        if (timeout == platform::waitForever) {
            ADD_FAILURE() << "a wait for ever on a child that never ends";
            return platform::WaitResult::failed;
        }
        clock_.advance(timeout);
        return platform::WaitResult::timedOut;
    }

  private:
    ScriptedLoop& loop_;
    platform::memory::FakeClock& clock_;
};

struct FakeSystem {
    FakeSystem() { files.clock = &clock; }
    FakeSystem(const FakeSystem&) = delete;
    FakeSystem& operator=(const FakeSystem&) = delete;

    platform::memory::FakeAddresses addresses;
    platform::memory::FakeClock clock;
    ScriptedLoop loop;
    RecordingProcesses processes{loop, clock};
    platform::memory::MemoryFileSystem files;
    platform::memory::MemoryResources resources;
    platform::System system{addresses, processes, loop, files, resources, clock};
};
