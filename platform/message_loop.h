#pragma once
// The application's message loop, as a long-running handler needs it.
#include <functional>

namespace platform {

class MessageLoop {
  public:
    virtual ~MessageLoop() = default;
    // Thread-safe: `message` runs on the GUI thread when the loop dispatches it; dropped once
    // the application is ending.
    virtual void post(std::function<void()> message) = 0;
    // Dispatches every message waiting in the GUI thread's queue, then returns.
    virtual void processMessages() = 0;
    // True once the application has been told to end (its quit message was dispatched).
    virtual bool terminated() const = 0;
};

}  // namespace platform
