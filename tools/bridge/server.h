#pragma once
// The bridge's background server: holds the connections to the TVs between invocations of the
// tool, answers the host services and relays each client's stream to its TV.
namespace bridge {

constexpr unsigned short kServerPort = 26099;  // fixed, as the real tool's
constexpr unsigned short kTvPort = 26101;

// Listens on 127.0.0.1:26099 until a client sends host:kill; returns the process exit status.
int runServer();

}  // namespace bridge
