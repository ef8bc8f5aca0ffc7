#pragma once
// Starting a child process, and waiting for it (or for work done on another thread) while the
// GUI thread's input is still served.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Something the GUI thread can wait for together with its input.
class Waitable {
  public:
    virtual ~Waitable() = default;
    // What the system waits on: a HANDLE on Windows, a descriptor that turns readable elsewhere.
    virtual std::intptr_t systemHandle() const = 0;
};

// A started child. Destroying it closes what it holds (on Windows the thread handle, then the
// process handle) and never ends the child itself.
class ChildProcess : public Waitable {};

// Set once, from any thread, when work done elsewhere is complete; it stays set.
class Signal : public Waitable {
  public:
    virtual void set() = 0;
};

enum class WaitResult {
    signalled,     // the child has ended, or the signal was set
    inputWaiting,  // input is waiting in the GUI thread's queue
    timedOut,      // neither came within the time given
    failed,        // the wait itself failed
};

// A wait without a time limit.
inline constexpr std::chrono::milliseconds waitForever = std::chrono::milliseconds::max();

class Processes {
  public:
    virtual ~Processes() = default;
    // Starts the command line exactly as given, with a hidden console, no inherited handles,
    // this process's environment and current directory. nullptr when it cannot be started.
    virtual std::unique_ptr<ChildProcess> start(const std::wstring& commandLine) = 0;
    // A new signal, not yet set. Throws platform::Error when the system has none to give.
    virtual std::unique_ptr<Signal> newSignal() = 0;
    // Blocks, without polling, until `what` is signalled (when given), input waits for the GUI
    // thread (when serveInput; input already queued counts at once), or the timeout passes.
    virtual WaitResult wait(Waitable* what, bool serveInput, std::chrono::milliseconds timeout) = 0;
};

}  // namespace platform
