#pragma once
// The check of a TV before a run: its bridge port and its own description, asked at once, while
// the window stays responsive; and following a TV that is not ready yet until it is.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/system.h"
#include "src/tvs/restart_wait.h"
#include "src/tvs/tv_verdict.h"

// Starts asking the TV at the address. Nothing when there is no network layer to ask with: the
// run itself will tell.
std::unique_ptr<platform::PendingAnswers> askTv(platform::Network& network,
                                                const std::wstring& address);

// Waits for the answers, serving the window's input meanwhile, and judges them against this PC's
// addresses. Nothing when the program is ending.
std::optional<TvVerdict> awaitVerdict(platform::System& system, platform::PendingAnswers& pending);

// Asks the TV again every RestartWait::askEvery, serving the window's input meanwhile, until the
// wait is over: the TV ready, the limit, a verdict waiting does not cure, or cancelled (by a
// handler that ran meanwhile, or because the program is ending). `shown` runs at the start, at
// each whole second waited and after each new verdict, for the status line to follow.
void followTv(platform::System& system, const std::wstring& address, RestartWait& wait,
              const std::function<void()>& shown);
