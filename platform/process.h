#pragma once
// Starting a child process and waiting for it while the GUI thread's input is still served.
#include <chrono>
#include <memory>
#include <string>

namespace platform {

// A started child. Destroying it closes what it holds (on Windows the thread handle, then the
// process handle) and never ends the child itself.
class ChildProcess {
  public:
    virtual ~ChildProcess() = default;
};

enum class WaitResult {
    childEnded,    // the child has ended
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
    // Blocks, without polling, until the child ends (when one is given), input waits for the GUI
    // thread (when serveInput; input already queued counts at once), or the timeout passes.
    virtual WaitResult wait(ChildProcess* child, bool serveInput,
                            std::chrono::milliseconds timeout) = 0;
};

}  // namespace platform
