#pragma once
// Child processes on the host. Windows hands the command line to CreateProcessW (the program's
// own lines start with cmd.exe); here the line runs through /bin/sh -c, so host tests use shell
// command lines. The wait blocks on the child and on the in-memory message queue together.
#include "platform/memory/message_queue.h"
#include "platform/process.h"

namespace platform::posix {

class PosixProcesses final : public Processes {
  public:
    explicit PosixProcesses(memory::MessageQueue& queue) : queue_(queue) {}
    // nullptr for a blank line (as CreateProcessW refuses one) or when /bin/sh cannot start.
    std::unique_ptr<ChildProcess> start(const std::wstring& commandLine) override;
    std::unique_ptr<Signal> newSignal() override;
    WaitResult wait(Waitable* what, bool serveInput, std::chrono::milliseconds timeout) override;

  private:
    memory::MessageQueue& queue_;
};

}  // namespace platform::posix
