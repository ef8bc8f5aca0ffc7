#pragma once
// The services a TV offers on a stream: "shell:" (the retail set's fixed commands only, output
// on a PTY, so lines end "\r\n"), "capability:", "sysinfo:" and "sync:" (file pushes).
#include <functional>
#include <optional>
#include <string>

namespace tvsim {

class Link;
class Stream;
class Tv;

struct ServiceRunner {
    std::function<void(Stream&)> serve;  // runs on a thread of its own; the stream closes after
    bool holdsInput = false;             // it reads what the host sends
};

// What serves `service`, or nothing when the TV refuses it (CLSE instead of OKAY).
std::optional<ServiceRunner> serviceFor(Tv& tv, Link& link, const std::string& service);

// The capability block: a 16-bit little-endian length (with the final NUL), "key:value\n" lines
// and a NUL.
std::string capabilityBlock(const Tv& tv);

}  // namespace tvsim
