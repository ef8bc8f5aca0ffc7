#pragma once
// The TVs a search found, judged as the check before a run judges one TV, and how the address
// box's list shows them.
#include <optional>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/network.h"
#include "src/texts/texts.h"
#include "src/tvs/tv_verdict.h"

struct FoundTv {
    std::wstring address;
    bool isTv = false;  // a Samsung TV (its description says so, or its bridge port is open)
    TvVerdict verdict;
};

// Every host that answered, in the order of the search.
std::vector<FoundTv> judgeFound(const platform::SweepReport& report,
                                const std::vector<std::wstring>& localAddresses);

// The list's items in that language: the ready TVs first, hosts that are no TV last.
std::vector<platform::AddressChoice> addressChoices(const std::vector<FoundTv>& found,
                                                    Language language);

// The one ready TV, when there is exactly one.
const FoundTv* onlyReadyTv(const std::vector<FoundTv>& found);
