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

// A host of the search for TVs that answered on either port.
struct FoundHost {
    std::wstring address;
    bool descriptionPortOpen = false;
    TvAnswers answers;  // the description asked for once either port answered
};

struct SweepLimits {
    std::chrono::milliseconds bridgeConnect{1500};
    std::chrono::milliseconds descriptionConnect{1500};
    std::chrono::milliseconds description{2000};
    // A host that answers neither knock this soon (no accept, no refusal) is no host here: its
    // knocks end then. A host on the local network answers in milliseconds.
    std::chrono::milliseconds hostSilence{800};
    int mostInFlight = 128;  // connections open or being opened at any moment (at least 2)
};

struct SweepReport {
    std::vector<FoundHost> found;  // in the order of the targets
    int mostInFlight = 0;          // the most connections that were in flight at once
};

// A search on its way. Destroying it cancels it at once: its `finished` never runs after that.
class PendingSweep {
  public:
    virtual ~PendingSweep() = default;
    // Meaningful once `finished` has run.
    virtual SweepReport report() const = 0;
};

class Network {
  public:
    virtual ~Network() = default;
    // Asks the TV at `address` (dotted IPv4) both questions at once. Talks to no other address.
    virtual std::unique_ptr<PendingAnswers> askTv(const std::wstring& address,
                                                  const TvQuestionLimits& limits) = 0;
    // Knocks at both ports of every target (dotted IPv4), each knock with its own limit, and
    // asks the description of each host that answered. `finished` runs once, on another thread,
    // when every target has its answer. Contacts no other address.
    virtual std::unique_ptr<PendingSweep> sweep(const std::vector<std::wstring>& targets,
                                                const SweepLimits& limits,
                                                std::function<void()> finished) = 0;
};

}  // namespace platform
