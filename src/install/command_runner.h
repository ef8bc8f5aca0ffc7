#pragma once
// Runs one command line to its end while the GUI thread keeps serving its input.
#include <chrono>
#include <string>

#include "platform/clock.h"
#include "platform/message_loop.h"
#include "platform/process.h"

struct CommandLimits {
    // How long the command may run in all; then it is left to run on by itself.
    std::chrono::milliseconds total = platform::waitForever;
    // How long it may still run once the application is ending (no input is served then).
    std::chrono::milliseconds afterQuit{0};
};

enum class CommandEnd {
    ended,        // the child has ended
    leftRunning,  // a limit passed, or the wait failed: the child runs on by itself
    notStarted,   // the line could not start
};

// Starts the command line and waits for the child; input that arrives meanwhile is dispatched at
// once. Reads no output and no exit status. The host build runs the line through /bin/sh where
// Windows uses it as given.
CommandEnd runCommand(platform::Processes& processes, platform::MessageLoop& loop,
                      platform::Clock& clock, std::wstring commandLine,
                      const CommandLimits& limits = {});

// Waits this long, dispatching input meanwhile (none once the application is ending).
void serveInputFor(platform::Processes& processes, platform::MessageLoop& loop,
                   platform::Clock& clock, std::chrono::milliseconds duration);
