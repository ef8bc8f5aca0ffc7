#pragma once
// Questions to a TV on this PC's network, answered on another thread while the GUI thread waits
// for them (platform::Processes::wait) and keeps serving its input.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace platform {

inline constexpr unsigned short tvBridgePort = 26101;
inline constexpr unsigned short tvDescriptionPort = 8001;

// What the TV at one address answered.
struct TvAnswers {
    bool bridgeOpen = false;  // a TCP connection to its bridge port was accepted
    // The TV's description of itself (GET /api/v2/, or /ms/1.0/ on some 2015 sets): the body of
    // a 200 answer, or nothing when none came in time.
    std::optional<std::string> description;
};

// Each question has its own limit: a closed bridge port can take a second to refuse.
struct TvQuestionLimits {
    std::chrono::milliseconds bridgeConnect{1500};
    std::chrono::milliseconds description{2000};
};

// Questions on their way. Destroying this abandons whatever is still unanswered.
class PendingAnswers {
  public:
    virtual ~PendingAnswers() = default;
    // Signalled once every question has its answer or has run out of time.
    virtual Waitable& done() = 0;
    // Meaningful once done() is signalled.
    virtual TvAnswers answers() const = 0;
};

// One of this PC's networks a search covers.
struct SearchNetwork {
    std::wstring localAddress;        // this PC's IPv4 address there: SSDP goes out from it
    std::vector<std::wstring> hosts;  // the hosts there the search may contact, in sweep order

    bool operator==(const SearchNetwork&) const = default;
};

// A host of the search for TVs that answered on either port.
struct FoundHost {
    std::wstring address;
    bool descriptionPortOpen = false;
    TvAnswers answers;   // the description asked for once its port accepted
    bool named = false;  // SSDP or the neighbour table named it: it had the longer patience
};

struct SearchLimits {
    std::chrono::milliseconds bridgeConnect{1500};
    std::chrono::milliseconds descriptionConnect{1500};
    std::chrono::milliseconds description{2000};
    // A swept host that answers no knock this soon (no accept, no refusal) is no host here: its
    // knocks end then. A host on the local network answers in milliseconds.
    std::chrono::milliseconds hostSilence{800};
    // A host SSDP or the neighbour table named is there: some sets answer their knocks only
    // after a second. Its knocks last at least this long.
    std::chrono::milliseconds namedHostSilence{2500};
    // SSDP replies are read this long after the first M-SEARCH (MX 1 s, and half a second more),
    // and each M-SEARCH goes out a second time, `ssdpRepeat` later, in case one is lost.
    std::chrono::milliseconds ssdpListen{1500};
    std::chrono::milliseconds ssdpRepeat{100};
    int mostInFlight = 128;  // connections open or being opened at any moment (at least 2)
};

// What a search did, once it has ended.
struct SearchReport {
    int mostInFlight = 0;  // the most connections that were in flight at once
    int connections = 0;   // connections opened in all
    int datagrams = 0;     // M-SEARCH datagrams sent
    int ssdpReplies = 0;   // replies to them from hosts the search may contact
};

struct SearchEvents {
    // Each host that answered either knock, once, as soon as it has been described.
    std::function<void(const FoundHost& host)> found;
    // Once, after the last host and the last SSDP reply.
    std::function<void(const SearchReport& report)> finished;
};

// A search or a watch on its way. Destroying it cancels it at once: none of its callbacks runs
// after that.
class PendingSearch {
  public:
    virtual ~PendingSearch() = default;
};

// The TVs listed, kept current while the window is idle.
struct WatchLimits {
    // Every listed host is asked both questions again this often, as the check before a run asks.
    std::chrono::milliseconds interval{5000};
    TvQuestionLimits questions;
    int mostWatched = 16;  // listed hosts asked again; the rest are not
    // A host that announces itself (NOTIFY ssdp:alive) is knocked at as a named host, one host
    // at most every `announcedGap`, each host once.
    SearchLimits announced;
    std::chrono::milliseconds announcedGap{1000};
};

class Network {
  public:
    virtual ~Network() = default;
    // Asks the TV at `address` (dotted IPv4) both questions at once. Talks to no other address.
    virtual std::unique_ptr<PendingAnswers> askTv(const std::wstring& address,
                                                  const TvQuestionLimits& limits) = 0;
    // Looks for TVs on these networks: an SSDP search from each network's address, the `named`
    // hosts (the neighbour table's) knocked at first, then the sweep of every network's hosts.
    // Callbacks run on another thread. Contacts no host outside the networks' `hosts`: an SSDP
    // reply from elsewhere is ignored. At most limits.mostInFlight connections at any moment.
    virtual std::unique_ptr<PendingSearch> search(const std::vector<SearchNetwork>& networks,
                                                  const std::vector<std::wstring>& named,
                                                  const SearchLimits& limits,
                                                  SearchEvents events) = 0;
    // Asks the `listed` hosts both questions every limits.interval, and listens for SSDP
    // announcements on the networks' addresses (when port 1900 can be had): an announced host of
    // the networks' `hosts` is knocked at and described. `answered` runs on another thread for
    // each listed host's answers, and for each announced host that answered a knock. Sends
    // nothing else, and nothing to a host outside the networks' `hosts`.
    virtual std::unique_ptr<PendingSearch> watch(
        const std::vector<SearchNetwork>& networks, const std::vector<std::wstring>& listed,
        const WatchLimits& limits, std::function<void(const FoundHost& host)> answered) = 0;
};

}  // namespace platform
