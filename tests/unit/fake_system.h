#pragma once
// A whole platform for the window's logic, made of fakes the tests can steer and inspect.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/memory/fake_addresses.h"
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
// the child "ends" once no input is waiting.
class RecordingProcesses final : public platform::Processes {
  public:
    explicit RecordingProcesses(ScriptedLoop& loop) : loop_(loop) {}

    struct Child final : platform::ChildProcess {
        size_t index;
        bool ran = false;
        explicit Child(size_t i) : index(i) {}
    };

    std::vector<std::wstring> started;
    std::function<void(size_t index, const std::wstring& commandLine)> onRun;
    bool failToStart = false;

    std::unique_ptr<platform::ChildProcess> start(const std::wstring& commandLine) override {
        if (failToStart)
            return nullptr;
        started.push_back(commandLine);
        return std::make_unique<Child>(started.size() - 1);
    }
    platform::WaitResult waitForChildOrInput(platform::ChildProcess& process) override {
        auto& child = static_cast<Child&>(process);
        if (!child.ran) {
            child.ran = true;
            if (onRun)
                onRun(child.index, started[child.index]);
        }
        return loop_.pending.empty() ? platform::WaitResult::childEnded
                                     : platform::WaitResult::inputWaiting;
    }

  private:
    ScriptedLoop& loop_;
};

struct FakeSystem {
    platform::memory::FakeAddresses addresses;
    ScriptedLoop loop;
    RecordingProcesses processes{loop};
    platform::memory::MemoryFileSystem files;
    platform::memory::MemoryResources resources;
    platform::System system{addresses, processes, loop, files, resources};
};
