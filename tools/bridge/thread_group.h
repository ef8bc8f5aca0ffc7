#pragma once
// Threads that are joined, never detached: under Wine, winpthreads at times loses a thread that is
// detached as it starts, or crashes in it, and a crashed server hangs behind Wine's crash dialog
// with its port still open. Each start first joins the threads that have ended.
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace bridge {

class ThreadGroup {
  public:
    ThreadGroup() = default;
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;
    ~ThreadGroup();

    void start(std::function<void()> body);
    std::size_t running();  // threads started and not yet joined

  private:
    struct Member {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    void reapLocked();

    std::mutex mutex_;
    std::list<Member> members_;
};

}  // namespace bridge
