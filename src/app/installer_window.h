#pragma once
// The main window's logic: its handlers, its language and its status line. It owns the search for
// TVs, and during an installation the one run of that press. It reaches the window's controls and
// the operating system only through the platform layer, so the same class runs in the Windows
// program and, over the in-memory platform, in the unit tests.
#include <chrono>

#include "platform/controls.h"
#include "platform/system.h"
#include "src/texts/texts.h"
#include "src/tvs/restart_wait.h"
#include "src/tvs/tv_search.h"

class InstallRun;

class InstallerWindow final : public platform::FormEvents {
  public:
    // `waitLimit`: how long a run waits for a TV that is not ready yet, when the user wants it to.
    InstallerWindow(platform::FormControls& controls, platform::System& system,
                    std::chrono::seconds waitLimit = RestartWait::defaultLimit);

    void created() override;
    void refreshClicked() override;
    void languageChosen() override;
    void addressKeyTyped(wchar_t& key) override;
    void installClicked() override;

  private:
    Language language() const;
    // Shows this PC's addresses, and returns them.
    std::vector<platform::LocalAddress> showAddresses();
    // The search's list changed: the address box offers it, and the one ready TV goes into an
    // empty box (once a search, after it has ended).
    void showFoundTvs();

    platform::FormControls& controls_;
    platform::System& system_;
    TvSearch search_;
    const std::chrono::seconds waitLimit_;
    InstallRun* run_ = nullptr;    // the run of the press being handled, while it runs
    bool readyTvOffered_ = false;  // this search's one ready TV went into the box, or could not
};
