#include "tools/bridge/thread_group.h"

#include <vector>

namespace bridge {

ThreadGroup::~ThreadGroup() {
    std::list<Member> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(members_);
    }
    for (auto& member : all) {
        member.thread.join();
    }
}

void ThreadGroup::start(std::function<void()> body) {
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([body = std::move(body), ended] {
        body();
        *ended = true;  // the last thing it does: joining it then returns at once
    });
    std::lock_guard lock(mutex_);
    reapLocked();
    members_.push_back({std::move(thread), std::move(ended)});
}

std::size_t ThreadGroup::running() {
    std::lock_guard lock(mutex_);
    reapLocked();
    return members_.size();
}

void ThreadGroup::reapLocked() {
    for (auto it = members_.begin(); it != members_.end();) {
        if (*it->ended) {  // a thread that calls this has not ended: it never joins itself
            it->thread.join();
            it = members_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace bridge
