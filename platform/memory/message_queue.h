#pragma once
// A GUI thread's message queue without a GUI: any thread posts, the owning thread dispatches.
// On the host it also offers a descriptor that is readable while messages wait, so that the
// process wait can block on the child and on the queue together.
#include <deque>
#include <functional>
#include <mutex>

#include "platform/message_loop.h"

namespace platform::memory {

class MessageQueue final : public MessageLoop {
  public:
    MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;
    ~MessageQueue() override;

    // Thread-safe.
    void post(std::function<void()> message) override;
    // Thread-safe. The application ends once this message is dispatched, not when it is posted.
    void postQuit();

    // Runs every waiting message, and those they post, in order; stops after the quit message.
    // A message may call this again (a nested wait does).
    void processMessages() override;
    bool terminated() const override { return terminated_; }

#ifndef _WIN32
    // Readable (poll POLLIN) exactly while messages wait; only processMessages resets it.
    int readableWhilePending() const noexcept {
        return eventFd_;
    }
#endif

  private:
    struct Entry {
        std::function<void()> message;
        bool quit = false;
    };
    void push(Entry entry);

    std::mutex mutex_;
    std::deque<Entry> entries_;
    bool terminated_ = false;
#ifndef _WIN32
    int eventFd_ = -1;
#endif
};

}  // namespace platform::memory
