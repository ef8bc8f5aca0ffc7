#pragma once
// The TV's side of SSDP as Samsung sets speak it: which searches it answers, its answers, and the
// notices it multicasts when it comes on. Pure functions, for tests and fuzzing; the sockets are
// in ssdp_responder.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tools/tvsim/options.h"

namespace tvsim {

inline constexpr const char* kSsdpGroup = "239.255.255.250";
inline constexpr unsigned short kSsdpPort = 1900;

struct SsdpSearch {
    std::string target;  // ST
    int mx = 0;          // seconds an answer may wait (at most 5); 0 for a unicast search
};

// The search a datagram asks, or why the TV ignores it. A search sent to the group needs MX (one
// second or more); one sent to the TV's own address is answered at once, whatever its MX.
std::variant<SsdpSearch, std::string> parseSsdpSearch(std::string_view datagram, bool multicast);

// The unicast answers to a search: one for its target, one per target for ssdp:all, none for a
// target the TV does not have. `now` goes into their DATE.
std::vector<std::string> ssdpAnswers(const TvOptions& options, const SsdpSearch& search,
                                     std::time_t now);

// NOTIFY ssdp:alive, one per target, for the group.
std::vector<std::string> ssdpAliveNotices(const TvOptions& options);

// How long an answer waits: the option's time (-1: `random` spread over MX), never beyond MX.
std::chrono::milliseconds ssdpAnswerDelay(int optionMs, const SsdpSearch& search,
                                          std::uint32_t random);

}  // namespace tvsim
