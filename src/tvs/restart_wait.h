#pragma once
// Waiting for a TV that a restart, the remote or a few minutes make ready: from the verdict of
// the check before the run, each new verdict and the time say whether to wait on, go on, or
// stop, and what the status line tells the user meanwhile. No window and no network here.
#include <chrono>
#include <optional>
#include <string>

#include "src/texts/texts.h"
#include "src/tvs/tv_verdict.h"

// Developer mode not active yet or not on, standby, nothing answering: the TV can become ready
// while the program waits. A Host PC IP that is not this PC's stays wrong however long it waits.
bool restartCures(TvReadiness readiness);

class RestartWait {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    enum class State {
        waiting,
        ready,       // the TV answered ready: the run goes on
        outOfTime,   // the limit passed first
        notCurable,  // the TV answered something waiting does not cure (another Host PC IP, ...)
        cancelled,   // the user, or the program ending
    };

    // Field reports: a restarted TV opens its bridge within a minute or two of its cold boot.
    static constexpr std::chrono::seconds defaultLimit{180};
    // How often the TV is asked again.
    static constexpr std::chrono::seconds askEvery{2};

    // `first`: the check's verdict, one restartCures() accepts.
    RestartWait(TvVerdict first, TimePoint start, std::chrono::seconds limit);

    // A verdict from asking the TV again, at `now`.
    State seen(TvVerdict verdict, TimePoint now);
    // Time passes: the limit.
    State tick(TimePoint now);
    void cancel();

    State state() const { return state_; }
    // The latest verdict: what the TV last said.
    const TvVerdict& last() const { return last_; }
    TimePoint start() const { return start_; }
    TimePoint deadline() const { return start_ + limit_; }
    std::chrono::seconds limit() const { return limit_; }
    // Whole seconds since the start, at most the limit.
    std::chrono::seconds elapsed(TimePoint now) const;
    // The status line while waiting: what to do on the TV and how long the program has waited.
    std::wstring status(const std::wstring& address, TimePoint now, Language language) const;

  private:
    TvVerdict last_;
    TimePoint start_;
    std::chrono::seconds limit_;
    State state_ = State::waiting;
    std::optional<int> modelYear_;  // from the latest description: a restarting TV tells none
};

// "m:ss", e.g. 185 s gives "3:05".
std::wstring minutesAndSeconds(std::chrono::seconds duration);

// The limit a value of QUORVEX_RESTART_WAIT_SECONDS asks for (tests shorten the wait with it):
// 1 to 3600 seconds; anything else, or none, gives the default.
std::chrono::seconds restartWaitLimit(const wchar_t* value);
