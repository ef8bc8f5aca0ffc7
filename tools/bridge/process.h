#pragma once
// What the bridge needs from the operating system: its own arguments and path, a detached server
// process started from the same executable, and a way to wait until that server is gone.
#include <chrono>
#include <string>
#include <vector>

namespace bench {

// The command-line arguments after the program name, in UTF-8.
std::vector<std::string> programArguments(int argc, char** argv);

// Starts "<this exe> fork-server server PORT" detached from the caller: no inherited handles,
// standard streams on the null device, a session (or console) of its own.
bool startServerProcess(unsigned short port, std::string& error);

// Called first thing in the server: its standard streams go to the null device, so it never writes
// into a log file or console that belonged to whoever started it.
void detachServerStdio();

// Waits until process `pid` has ended, up to `timeout`. Needed on Windows, where the executable
// stays locked (cannot be deleted) until the process is completely gone.
void waitForProcessExit(unsigned long pid, std::chrono::milliseconds timeout);

unsigned long currentProcessId();

}  // namespace bench
