#include "platform/memory/message_queue.h"

#include <system_error>

#ifndef _WIN32
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace platform::memory {

#ifndef _WIN32
namespace {

void signal(int fd) {
    const eventfd_t one = 1;
    while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void reset(int fd) {
    eventfd_t count = 0;
    while (read(fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

}  // namespace
#endif

MessageQueue::MessageQueue() {
#ifndef _WIN32
    eventFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (eventFd_ < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
#endif
}

MessageQueue::~MessageQueue() {
#ifndef _WIN32
    close(eventFd_);
#endif
}

void MessageQueue::post(std::function<void()> message) {
    push({std::move(message), false});
}

void MessageQueue::postQuit() {
    push({nullptr, true});
}

void MessageQueue::push(Entry entry) {
    const std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
#ifndef _WIN32
    if (entries_.size() == 1)
        signal(eventFd_);
#endif
}

void MessageQueue::processMessages() {
    while (!terminated_) {
        Entry entry;
        {
            const std::lock_guard lock(mutex_);
            if (entries_.empty())
                return;
            entry = std::move(entries_.front());
            entries_.pop_front();
#ifndef _WIN32
            // The descriptor follows the queue: it stays readable while anything is left.
            if (entries_.empty())
                reset(eventFd_);
#endif
        }
        if (entry.quit)
            terminated_ = true;
        else if (entry.message)
            entry.message();
    }
}

}  // namespace platform::memory
