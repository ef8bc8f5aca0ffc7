#include "platform/posix/process_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/error.h"
#include "platform/text.h"

extern char** environ;

namespace platform::posix {
namespace {

pid_t waitFor(pid_t pid, int options) {
    pid_t result;
    do {
        result = waitpid(pid, nullptr, options);
    } while (result < 0 && errno == EINTR);
    return result;
}

// A child given up on while it still runs must not stay a zombie once it ends.
void reapWhenEnded(pid_t pid) noexcept {
    if (waitFor(pid, WNOHANG) != 0)
        return;
    try {
        std::thread([pid] { waitFor(pid, 0); }).detach();
    } catch (...) {
        // No thread to spare: the child stays a zombie until this process ends.
    }
}

class PosixChild final : public ChildProcess {
  public:
    PosixChild(pid_t pid, int pidFd) noexcept : pid_(pid), pidFd_(pidFd) {}
    PosixChild(const PosixChild&) = delete;
    PosixChild& operator=(const PosixChild&) = delete;
    ~PosixChild() override {
        close(pidFd_);
        if (!reaped_)
            reapWhenEnded(pid_);
    }
    std::intptr_t systemHandle() const override { return pidFd_; }
    void reap() noexcept {
        if (!reaped_)
            waitFor(pid_, 0);
        reaped_ = true;
    }

  private:
    pid_t pid_;
    int pidFd_;
    bool reaped_ = false;
};

// An eventfd that stays readable once written.
class PosixSignal final : public Signal {
  public:
    PosixSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (fd_ < 0)
            throw Error(L"No event descriptor for a wait.");
    }
    PosixSignal(const PosixSignal&) = delete;
    PosixSignal& operator=(const PosixSignal&) = delete;
    ~PosixSignal() override { close(fd_); }
    void set() override {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(fd_, &one, sizeof one);
    }
    std::intptr_t systemHandle() const override { return fd_; }

  private:
    int fd_;
};

class SpawnSetup {
  public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        // Only stdio reaches the child, whatever this process has open without O_CLOEXEC.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

}  // namespace

std::unique_ptr<ChildProcess> PosixProcesses::start(const std::wstring& commandLine) {
    if (commandLine.find_first_not_of(L" \t") == std::wstring::npos)
        return nullptr;
    std::string line = toUtf8(commandLine);
    char shell[] = "sh";
    char option[] = "-c";
    char* argv[] = {shell, option, line.data(), nullptr};

    const SpawnSetup setup;
    pid_t pid = 0;
    // The full path: an "sh" planted in the current directory or on PATH never runs instead.
    if (posix_spawn(&pid, "/bin/sh", &setup.actions, &setup.attributes, argv, environ) != 0)
        return nullptr;
    // A pidfd makes the child's end something poll can wait for (Linux 5.3 and later).
    const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidFd < 0) {
        reapWhenEnded(pid);
        return nullptr;
    }
    return std::make_unique<PosixChild>(pid, pidFd);
}

std::unique_ptr<Signal> PosixProcesses::newSignal() {
    return std::make_unique<PosixSignal>();
}

WaitResult PosixProcesses::wait(Waitable* what, bool serveInput,
                                std::chrono::milliseconds timeout) {
    auto* posixChild = dynamic_cast<PosixChild*>(what);
    // A descriptor of -1 is ignored by poll.
    pollfd fds[2] = {{what != nullptr ? static_cast<int>(what->systemHandle()) : -1, POLLIN, 0},
                     {serveInput ? queue_.readableWhilePending() : -1, POLLIN, 0}};
    using Clock = std::chrono::steady_clock;
    const bool forever = timeout == waitForever;
    const auto deadline = forever ? Clock::time_point::max() : Clock::now() + timeout;
    for (;;) {
        int milliseconds = -1;
        if (!forever) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            milliseconds = static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
        }
        const int ready = poll(fds, 2, milliseconds);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return WaitResult::failed;
        }
        if (ready == 0) {
            if (!forever && Clock::now() >= deadline)
                return WaitResult::timedOut;
            continue;
        }
        // The child first, as MsgWaitForMultipleObjectsEx reports the lowest signalled object.
        if (fds[0].revents & POLLIN) {
            if (posixChild != nullptr)
                posixChild->reap();
            return WaitResult::signalled;
        }
        if (fds[1].revents & POLLIN)
            return WaitResult::inputWaiting;
        return WaitResult::failed;
    }
}

}  // namespace platform::posix
