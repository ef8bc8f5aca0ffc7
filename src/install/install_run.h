#pragma once
// One press of the install button, from the check of the TV to the box that says how it went:
//   check (and, if the user wants, a wait for the TV) → prepare → the commands → clean up → judge
// The window makes one per press, asks it for its status line and its button's caption when the
// language changes, and hands it the button's press while the run waits for the TV.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/system.h"
#include "src/install/install_outcome.h"
#include "src/payload/tool_place.h"
#include "src/texts/texts.h"
#include "src/tvs/found_tvs.h"
#include "src/tvs/restart_wait.h"
#include "src/tvs/tv_verdict.h"

struct OwnerProfile;
class RunSteps;

class InstallRun {
  public:
    // `address`: a validated TV address. `found`: the search's list, as it stands when asked.
    // `waitLimit`: how long to wait for a TV that is not ready yet, when the user wants to.
    InstallRun(platform::FormControls& controls, platform::System& system, std::wstring address,
               const std::vector<FoundTv>& found,
               std::chrono::seconds waitLimit = RestartWait::defaultLimit);
    InstallRun(const InstallRun&) = delete;
    InstallRun& operator=(const InstallRun&) = delete;

    // The whole run; returns once it has ended, however it ended.
    void go();
    // What the status line shows while the run checks, waits for the TV or installs, in a
    // language; nothing in between (a question, a box at the end).
    std::optional<std::wstring> status(Language language) const;
    // The install button's caption while the run waits for the TV ("Cancel"); nothing otherwise.
    std::optional<std::wstring> buttonText(Language language) const;
    // The install button was pressed during the run: it ends a wait for the TV at once.
    void buttonPressed();

  private:
    enum class Phase { idle, checking, waiting, installing };

    // Asks the TV, sets the series to the TV's, and asks the user when the TV does not look
    // ready. False when the run must not go on (the user said No, or the program is ending).
    bool check();
    // Follows the TV until it is ready, with the install button as Cancel. False when the run
    // must not go on (cancelled, the window closed, or No once the wait gave up).
    bool waitForTv();
    // The question before the run for a TV waiting cannot make ready, and after a wait that
    // gave up. False for No, or when the program is ending.
    bool askInstallAnyway(const std::wstring& why);
    // The series choice follows the model year the check learnt.
    void showTvSeries();
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
    const std::chrono::seconds waitLimit_;
    RestartWait* wait_ = nullptr;  // while the run waits for the TV
    ToolPlace place_;
    std::wstring signedWith_;  // the profile folder this run signed with, or empty
};
