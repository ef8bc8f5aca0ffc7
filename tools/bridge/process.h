#pragma once
// What the bridge needs from the operating system: its own arguments, and a detached server
// process started from the same executable.
#include <string>
#include <vector>

namespace bridge {

// The command-line arguments after the program name, in UTF-8.
std::vector<std::string> programArguments(int argc, char** argv);

// Starts "<this exe> fork-server server" detached from the caller: no inherited handles,
// standard streams on the null device, a session (or console) of its own, and the exe's folder as
// its current directory, as the real tool's server has.
bool startServerProcess(std::string& error);

// Called first thing in the server: its standard streams go to the null device, so it never writes
// into a log file or console that belonged to whoever started it, and its current directory is its
// exe's folder.
void detachServerStdio();

}  // namespace bridge
