#pragma once
// A whole platform for the window's logic, made of fakes the tests can steer and inspect.
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/memory/fake_addresses.h"
#include "platform/memory/fake_clock.h"
#include "platform/memory/fake_tool_folders.h"
#include "platform/memory/memory_files.h"
#include "platform/memory/memory_signal.h"
#include "platform/memory/scripted_profile.h"
#include "platform/system.h"
#include "tests/unit/fake_crypto.h"

// A message queue the test fills: what it posts while a command "runs" is dispatched by the
// runner's wait, as the real queue's input would be.
class ScriptedLoop final : public platform::MessageLoop {
  public:
    std::deque<std::function<void()>> pending;
    bool quit = false;
    int dispatches = 0;

    void post(std::function<void()> message) override { pending.push_back(std::move(message)); }
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
        std::intptr_t systemHandle() const override { return -1; }
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
    std::unique_ptr<platform::Signal> newSignal() override {
        return std::make_unique<platform::memory::MemorySignal>();
    }
    platform::WaitResult wait(platform::Waitable* what, bool serveInput,
                              std::chrono::milliseconds timeout) override {
        auto* child = dynamic_cast<Child*>(what);
        if (auto* signal = dynamic_cast<platform::memory::MemorySignal*>(what)) {
            if (signal->isSet())
                return platform::WaitResult::signalled;
            if (serveInput && !loop_.pending.empty())
                return platform::WaitResult::inputWaiting;
            if (timeout == platform::waitForever) {
                ADD_FAILURE() << "a wait for ever on a signal nobody sets";
                return platform::WaitResult::failed;
            }
            clock_.advance(timeout);
            return platform::WaitResult::timedOut;
        }
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
            return platform::WaitResult::signalled;
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

// A TV network the test scripts: every question is answered at once with `answers`, or never
// (until its time runs out) when `silent`. Records the addresses asked. Searches and watches are
// recorded with what they were asked; the test plays the network thread through their events.
class ScriptedNetwork final : public platform::Network {
  public:
    platform::TvAnswers answers;
    bool silent = false;
    std::vector<std::wstring> asked;
    // Runs as each question is asked (with how many have been, this one included), before it is
    // answered: a test changes `answers` there as the TV changes.
    std::function<void(size_t)> onAsk;

    struct Search {
        std::vector<platform::SearchNetwork> networks;
        std::vector<std::wstring> named;
        platform::SearchLimits limits;
        platform::SearchEvents events;
        bool finished = false;
        bool cancelled = false;  // let go of before it finished
        bool open = true;
    };
    struct Watch {
        std::vector<platform::SearchNetwork> networks;
        std::vector<std::wstring> listed;
        platform::WatchLimits limits;
        std::function<void(const platform::FoundHost&)> answered;
        bool open = true;
    };
    std::vector<std::shared_ptr<Search>> searches;
    std::vector<std::shared_ptr<Watch>> watches;

    std::unique_ptr<platform::PendingSearch> search(
        const std::vector<platform::SearchNetwork>& networks,
        const std::vector<std::wstring>& named, const platform::SearchLimits& limits,
        platform::SearchEvents events) override {
        auto search = std::make_shared<Search>(Search{networks, named, limits, std::move(events)});
        searches.push_back(search);
        return std::make_unique<Pending>([search] {
            search->cancelled = !search->finished;
            search->open = false;
        });
    }
    std::unique_ptr<platform::PendingSearch> watch(
        const std::vector<platform::SearchNetwork>& networks,
        const std::vector<std::wstring>& listed, const platform::WatchLimits& limits,
        std::function<void(const platform::FoundHost&)> answered) override {
        auto watch = std::make_shared<Watch>(Watch{networks, listed, limits, std::move(answered)});
        watches.push_back(watch);
        return std::make_unique<Pending>([watch] { watch->open = false; });
    }

    // What the network thread does for the latest search: a host found, the search's end.
    void find(const platform::FoundHost& host) {
        ASSERT_TRUE(searchRunning()) << "no search to find a host";
        searches.back()->events.found(host);
    }
    void finishSearch() {
        ASSERT_TRUE(searchRunning()) << "no search to finish";
        searches.back()->finished = true;
        searches.back()->events.finished({});
    }
    bool searchRunning() const {
        return !searches.empty() && searches.back()->open && !searches.back()->finished;
    }
    // The latest watch heard from a host.
    void answer(const platform::FoundHost& host) {
        ASSERT_TRUE(watchRunning()) << "no watch to answer";
        watches.back()->answered(host);
    }
    bool watchRunning() const { return !watches.empty() && watches.back()->open; }
    int cancelledSearches() const {
        int cancelled = 0;
        for (const auto& search : searches)
            cancelled += search->cancelled ? 1 : 0;
        return cancelled;
    }

    std::unique_ptr<platform::PendingAnswers> askTv(const std::wstring& address,
                                                    const platform::TvQuestionLimits&) override {
        asked.push_back(address);
        if (onAsk)
            onAsk(asked.size());
        auto pending = std::make_unique<Answers>();
        pending->given = answers;
        if (!silent)
            pending->signal.set();
        return pending;
    }

  private:
    struct Pending final : platform::PendingSearch {
        explicit Pending(std::function<void()> cancel) : cancel(std::move(cancel)) {}
        ~Pending() override { cancel(); }
        std::function<void()> cancel;
    };
    struct Answers final : platform::PendingAnswers {
        platform::memory::MemorySignal signal;
        platform::TvAnswers given;
        platform::Waitable& done() override { return signal; }
        platform::TvAnswers answers() const override { return given; }
    };
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
    ScriptedNetwork network;
    platform::memory::FakeToolFolders toolFolders;
    FakeCrypto crypto;
    platform::memory::ScriptedProfileDialogs dialogs;
    platform::memory::MemorySettings settings;
    platform::System system{addresses, processes,   loop,   files,   resources, clock,
                            network,   toolFolders, crypto, dialogs, settings};
};
