#pragma once
// Why a run failed, in plain words and what to do, from the telling line of its logs and what
// the check of the TV before the run learnt.
#include <optional>
#include <string>
#include <vector>

#include "src/install/install_outcome.h"
#include "src/texts/texts.h"
#include "src/tvs/tv_verdict.h"

struct FailureContext {
    std::wstring address;                      // the TV's, as the commands named it
    const TvVerdict* check = nullptr;          // nothing when the TV was not asked
    std::vector<std::wstring> localAddresses;  // this PC's, as the window lists them
    Language language = Language::russian;
    std::wstring toolFolder;     // where iu.exe was written
    std::wstring profileFolder;  // the profile a signed run signed with; empty for an unsigned run
};

// The text of the box a failed run shows: the cause and what to do (or the failure text), the
// telling line and its log, and what is wrong with the install log itself.
std::wstring failureReport(const InstallOutcome& outcome, const FailureContext& context);

// Nothing when the line is none this program knows a cause for.
std::optional<std::wstring> failureCause(const std::wstring& tellingLine,
                                         const FailureContext& context);

// The cause of a certificate refusal (-3 to -7) of a signed package, and what to do; for an
// unsigned run (no profile folder), only the codes the other causes do not tell apart (-4, -5,
// -6).
std::optional<std::wstring> certificateRefusalCause(const std::wstring& tellingLine,
                                                    const std::wstring& profileFolder,
                                                    Language language);

// The telling line is a 2023+ set's refusal of a package not signed for it (-3).
bool refusedAsUnsigned(const std::wstring& tellingLine);

// What the check found, for the question before the run (without the question itself) and for
// a failed connection after it. Nothing for a ready TV.
std::optional<std::wstring> verdictText(const TvVerdict& verdict, const std::wstring& address,
                                        const std::vector<std::wstring>& localAddresses,
                                        Language language);

// "J,K" or "M,N,Q,R,T".
std::wstring seriesName(int series);
