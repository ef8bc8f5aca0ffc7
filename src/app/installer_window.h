#pragma once
// The main window's logic: its constants and the handlers of its events. It reaches the window's
// controls and the operating system only through the platform layer, so the same class runs in
// the Windows program and, over the in-memory platform, in the unit tests.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/controls.h"
#include "platform/system.h"
#include "src/tvs/found_tvs.h"
#include "src/tvs/tv_verdict.h"

struct InstallOutcome;
struct OwnerProfile;
struct ToolPlace;

class InstallerWindow final : public platform::FormEvents {
  public:
    InstallerWindow(platform::FormControls& controls, platform::System& system);

    void created() override;
    void refreshClicked() override;
    void languageChosen() override;
    void addressKeyTyped(wchar_t& key) override;
    void installClicked() override;

    const std::wstring widgetBaseName;
    const std::wstring applicationId;
    const std::wstring stagingDirJK;
    const std::wstring stagingDirMNQRT;

  private:
    int language() const;
    const std::wstring& stagingDir() const;
    void showStatus(int message);
    // The status a run shows in the current language: the check's text, or "in progress".
    void showRunStatus();
    // Asks the TV, sets the series to the TV's, and asks the user when the TV does not look
    // ready. False when the run must not go on (the user said No, or the program is ending).
    bool checkTv(const std::wstring& address);
    // Writes a carried resource to a file; a file that cannot be written raises with advice in
    // the current language.
    void writePayload(const std::wstring& file, const std::wstring& resource);
    // The installation itself, once the TV has been checked: the eleven commands, or for a TV
    // that takes only a package signed with its owner's profile, the signed run. Nothing when
    // the window closed or the run stopped before installing (its box shown).
    std::optional<InstallOutcome> install(const std::wstring& address, OwnerProfile* profile,
                                          const ToolPlace& place);
    // The model year of a TV that installs only a widget signed with its owner's profile, from
    // the check before the run or the search; nothing for any other TV.
    std::optional<int> signingYear(const std::wstring& address) const;
    // Asks for the profile (the remembered folder, or the folder dialog), its passwords, and
    // checks it. Nothing when the user cancelled or the profile has a problem (shown).
    std::optional<OwnerProfile> chooseProfile(const std::wstring& why);
    // The signed run's steps between connecting and the rest of the commands: the DUID, its
    // check, signing, the device profile. A problem raises SignedRunStop.
    void prepareSignedRun(const std::wstring& address, OwnerProfile& profile,
                          const std::wstring& widgetFile, const std::function<void(int)>& advance);
    // After a -11 answer: asks, and on Yes removes the other author's copy. True to install again.
    bool removeOtherAuthorsCopy();
    // toolFolder: where iu.exe was written, for a cause that names it.
    void reportOutcome(const InstallOutcome& outcome, const std::wstring& address,
                       const std::wstring& toolFolder);
    // Looks for TVs on this PC's networks in the background, cancelling a search still running.
    void startTvSearch(const std::vector<platform::LocalAddress>& addresses);
    void tvSearchFinished(unsigned search);

    platform::FormControls& controls_;
    platform::System& system_;
    // What a run is doing, so that a language switch shows its status rather than the prompt.
    enum class Phase { idle, checking, installing } phase_ = Phase::idle;
    std::wstring runAddress_;
    std::optional<TvVerdict> check_;  // what the check before this run learnt
    std::wstring signedWith_;         // the profile folder this run signed with, or empty
    std::unique_ptr<platform::PendingSweep> search_;
    unsigned searchNumber_ = 0;  // a finished search that is not the latest one is ignored
    std::vector<FoundTv> found_;
};
