#pragma once
// The bridge's background server: holds the connections to the TVs between invocations of the
// tool and carries each client request to the right TV.
namespace bench {

constexpr unsigned short kDefaultServerPort = 26099;
constexpr unsigned short kDefaultTvPort = 26101;

// Listens on 127.0.0.1:port until a client asks it to stop; returns the process exit status.
int runServer(unsigned short port);

}  // namespace bench
