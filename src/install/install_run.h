#pragma once
// One press of the install button, from the check of the TV to the box that says how it went:
//   check → prepare → the commands → clean up → judge
// The window makes one per press, and asks it for its status line when the language changes.
#include <optional>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/system.h"
#include "src/install/install_outcome.h"
#include "src/payload/tool_place.h"
#include "src/texts/texts.h"
#include "src/tvs/found_tvs.h"
#include "src/tvs/tv_verdict.h"

struct OwnerProfile;
class RunSteps;

class InstallRun {
  public:
    // `address`: a validated TV address. `found`: the search's list, as it stands when asked.
    InstallRun(platform::FormControls& controls, platform::System& system, std::wstring address,
               const std::vector<FoundTv>& found);
    InstallRun(const InstallRun&) = delete;
    InstallRun& operator=(const InstallRun&) = delete;

    // The whole run; returns once it has ended, however it ended.
    void go();
    // What the status line shows while the run checks or installs, in a language; nothing in
    // between (a question, a box at the end).
    std::optional<std::wstring> status(Language language) const;

  private:
    enum class Phase { idle, checking, installing };

    // Asks the TV, sets the series to the TV's, and asks the user when the TV does not look
    // ready. False when the run must not go on (the user said No, or the program is ending).
    bool check();
    // The installation once the TV has been checked, with the owner's profile for a TV that
    // takes only a widget signed with it. Nothing when the window closed or the run stopped
    // before installing (its box shown).
    std::optional<InstallOutcome> install(OwnerProfile* profile);
    // Removes what an earlier run left and writes the payloads; the widget only when it need
    // not be signed first. False when the window closed meanwhile.
    bool prepare(bool signedRun, RunRecord& record);
    // The eleven commands, with the signed run's steps at their points. The text of the box
    // when a step stopped the run.
    std::optional<std::wstring> runCommands(RunSteps* steps);
    // Leaves no server holding iu.exe and removes the payloads.
    void cleanUp(bool finished);
    // The status and, for a failure, the box with its cause.
    void report(const InstallOutcome& outcome);

    Language language() const;
    void showStatus(TextId id);
    // The status of the phase the run is in.
    void showRunStatus();
    // Writes a carried resource to a file; a file that cannot be written raises with advice in
    // the current language.
    void writePayload(const std::wstring& file, const std::wstring& resource);
    void setRunControlsEnabled(bool enabled);

    platform::FormControls& controls_;
    platform::System& system_;
    const std::wstring address_;
    const std::vector<FoundTv>& found_;
    Phase phase_ = Phase::idle;
    std::optional<TvVerdict> check_;  // what the check before this run learnt
    ToolPlace place_;
    std::wstring signedWith_;  // the profile folder this run signed with, or empty
};
