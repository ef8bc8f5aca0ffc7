#pragma once
// Why a run failed, in plain words and what to do, from the telling line of its logs and what
// the check of the TV before the run learnt.
#include <optional>
#include <string>
#include <vector>

#include "src/tvs/tv_verdict.h"

struct FailureContext {
    std::wstring address;                      // the TV's, as the commands named it
    const TvVerdict* check = nullptr;          // nothing when the TV was not asked
    std::vector<std::wstring> localAddresses;  // this PC's, as the window lists them
    int language = 0;
    std::wstring toolFolder;  // where iu.exe was written
};

// Nothing when the line is none this program knows a cause for.
std::optional<std::wstring> failureCause(const std::wstring& tellingLine,
                                         const FailureContext& context);

// What the check found, for the question before the run (without the question itself) and for
// a failed connection after it. Nothing for a ready TV.
std::optional<std::wstring> verdictText(const TvVerdict& verdict, const std::wstring& address,
                                        const std::vector<std::wstring>& localAddresses,
                                        int language);

// "J,K" or "M,N,Q,R,T".
std::wstring seriesName(int series);
