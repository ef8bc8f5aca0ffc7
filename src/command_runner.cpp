#include "src/command_runner.h"

void runCommand(platform::Processes& processes, platform::MessageLoop& loop,
                std::wstring commandLine) {
    const auto child = processes.start(commandLine);
    if (!child)
        return;
    while (processes.waitForChildOrInput(*child) == platform::WaitResult::inputWaiting) {
        loop.processMessages();
        // A quit seen while waiting ends the wait; the child is left to finish on its own.
        if (loop.terminated())
            break;
    }
}
