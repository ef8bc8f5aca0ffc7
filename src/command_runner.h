#pragma once
// Runs one command line to its end while the GUI thread keeps serving its input.
#include <string>

#include "platform/message_loop.h"
#include "platform/process.h"

// Starts the command line and waits for the child; input that arrives meanwhile is dispatched at
// once. Returns when the child has ended, the wait failed, or the application was told to end
// (the child then runs on). Reads no output and no exit status; a line that cannot start
// returns at once. The host build runs the line through /bin/sh where Windows uses it as given.
void runCommand(platform::Processes& processes, platform::MessageLoop& loop,
                std::wstring commandLine);
