#pragma once
// The check of a TV before a run: its bridge port and its own description, asked at once, while
// the window stays responsive.
#include <memory>
#include <optional>
#include <string>

#include "platform/system.h"
#include "src/tvs/tv_verdict.h"

// Starts asking the TV at the address. Nothing when there is no network layer to ask with: the
// run itself will tell.
std::unique_ptr<platform::PendingAnswers> askTv(platform::Network& network,
                                                const std::wstring& address);

// Waits for the answers, serving the window's input meanwhile, and judges them against this PC's
// addresses. Nothing when the program is ending.
std::optional<TvVerdict> awaitVerdict(platform::System& system, platform::PendingAnswers& pending);
