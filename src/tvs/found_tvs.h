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
    // False for a host listed earlier that answered nothing when last asked: it keeps what it
    // said before (its name, its year) until it answers again.
    bool answering = true;

    bool operator==(const FoundTv&) const = default;
};

// A host that answered the search or was asked again, judged.
FoundTv judgeFound(const platform::FoundHost& host,
                   const std::vector<std::wstring>& localAddresses);

// Puts what was heard of a host into the list, which stays in address order: a new host that
// answered is added, a listed one updated. A listed TV that answers nothing now, or only without
// its description, keeps its description; one that answers nothing is marked so. A host
// unknown that answered nothing is not added. True when the list changed.
bool mergeFound(std::vector<FoundTv>& list, FoundTv heard);

// The list's items in that language: the ready TVs first, hosts that are no TV last.
std::vector<platform::AddressChoice> addressChoices(const std::vector<FoundTv>& found,
                                                    Language language);

// The one ready TV, when there is exactly one.
const FoundTv* onlyReadyTv(const std::vector<FoundTv>& found);
