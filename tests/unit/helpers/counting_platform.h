#pragma once
// Wrappers that count how the command runner uses a real platform: how many waits, with which
// results, and how many dispatches.
#include <vector>

#include "platform/message_loop.h"
#include "platform/process.h"

namespace test {

class CountingProcesses final : public platform::Processes {
  public:
    explicit CountingProcesses(platform::Processes& real) : real_(real) {}
    std::unique_ptr<platform::ChildProcess> start(const std::wstring& commandLine) override {
        ++starts;
        auto child = real_.start(commandLine);
        started = child != nullptr;
        return child;
    }
    std::unique_ptr<platform::Signal> newSignal() override { return real_.newSignal(); }
    platform::WaitResult wait(platform::Waitable* what, bool serveInput,
                              std::chrono::milliseconds timeout) override {
        const auto result = real_.wait(what, serveInput, timeout);
        waits.push_back(result);
        return result;
    }

    int starts = 0;
    bool started = false;
    std::vector<platform::WaitResult> waits;

  private:
    platform::Processes& real_;
};

class CountingLoop final : public platform::MessageLoop {
  public:
    explicit CountingLoop(platform::MessageLoop& real) : real_(real) {}
    void processMessages() override {
        ++dispatches;
        real_.processMessages();
    }
    bool terminated() const override { return real_.terminated(); }
    void post(std::function<void()> message) override { real_.post(std::move(message)); }

    int dispatches = 0;

  private:
    platform::MessageLoop& real_;
};

}  // namespace test
