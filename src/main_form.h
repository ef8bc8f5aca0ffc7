#pragma once
// The main window's logic: its constants and the handlers of its events. It reaches the window's
// controls and the operating system only through the platform layer, so the same class runs in
// the Windows program and, over the in-memory platform, in the unit tests.
#include <string>

#include "platform/controls.h"
#include "platform/system.h"

struct InstallOutcome;

class TmainForm final : public platform::FormEvents {
  public:
    TmainForm(platform::FormControls& controls, platform::System& system);

    void FormCreate() override;
    void refreshIpBTNClick() override;
    void langRGClick() override;
    void tvIpEdtKeyPress(wchar_t& key) override;
    void BitInstallClick() override;

    const std::wstring widgetBaseName;
    const std::wstring applicationId;
    const std::wstring stagingDirJK;
    const std::wstring stagingDirMNQRT;

  private:
    int language() const;
    const std::wstring& stagingDir() const;
    void showStatus(int message);
    // Writes a carried resource to a file; a file that cannot be written raises with advice in
    // the current language.
    void writePayload(const std::wstring& file, const std::wstring& resource);
    void reportOutcome(const InstallOutcome& outcome);

    platform::FormControls& controls_;
    platform::System& system_;
    // True while the installation's commands run, so that a language switch shows the
    // in-progress text rather than the prompt to start one.
    bool installing_ = false;
};
