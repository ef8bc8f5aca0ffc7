// The install button: check the address, write the payloads, run the eleven commands, remove
// the payloads and tell the user how it went.
#include <exception>

#include "src/command_runner.h"
#include "src/install_commands.h"
#include "src/install_outcome.h"
#include "src/main_form.h"
#include "src/payload.h"
#include "src/string_table.h"
#include "src/tv_address.h"

using platform::Control;

namespace {

constexpr const wchar_t* bridgeToolFile = L"iu.exe";
constexpr const wchar_t* logDirectory = L"doLog";

// The controls that could start a second run or change the staging directory half-way are
// disabled for the run and enabled again however it ends.
class RunLock {
  public:
    explicit RunLock(platform::FormControls& controls) : controls_(controls) { set(false); }
    ~RunLock() { set(true); }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

  private:
    void set(bool enabled) {
        for (auto control : {Control::BitInstall, Control::tvIpEdt, Control::tvSeriesRG}) {
            controls_.setEnabled(control, enabled);
        }
    }
    platform::FormControls& controls_;
};

class Flag {
  public:
    explicit Flag(bool& flag) : flag_(flag) { flag_ = true; }
    ~Flag() { flag_ = false; }
    Flag(const Flag&) = delete;
    Flag& operator=(const Flag&) = delete;

  private:
    bool& flag_;
};

}  // namespace

void TmainForm::BitInstallClick() {
    if (installing_ || system_.loop.terminated())
        return;
    const auto address = validTvAddress(controls_.text(Control::tvIpEdt));
    if (!address) {
        controls_.showMessage(StringTable::instance().text(msgBadTvIp, language()));
        return;
    }
    const RunLock lock(controls_);
    auto& files = system_.files;

    try {
        files.createDirectory(logDirectory);
    } catch (const std::exception&) {
        // A missing log directory only costs the logs.
    }
    const std::wstring widgetFile = widgetBaseName + L".wgt";
    deleteIfExists(files, bridgeToolFile);
    deleteIfExists(files, widgetFile);
    extractResource(system_.resources, files, bridgeToolFile, L"IUFILE");
    extractResource(system_.resources, files, widgetFile, L"WGTFILE");
    // Logs of an earlier run must not speak for this one if a command cannot write its own.
    for (const auto& command : installCommands) {
        if (command.logFile != nullptr)
            deleteIfExists(files, command.logFile);
    }

    {
        const Flag running(installing_);
        showStatus(msgInstalling);
        controls_.setPosition(installStartPosition);
        for (int i = 0; i < installCommandCount; ++i) {
            const auto& command = installCommands[static_cast<size_t>(i)];
            const InstallNames names{*address, applicationId, widgetFile,
                                     command.namesStagingDir ? stagingDir() : std::wstring()};
            runCommand(system_.processes, system_.loop, installCommandLine(i, names));
            // The window is gone: start nothing more, let the program end.
            if (system_.loop.terminated())
                break;
            controls_.setPosition(controls_.position() + command.progressStep);
        }
    }
    deleteIfExists(files, bridgeToolFile);
    deleteIfExists(files, widgetFile);
    if (system_.loop.terminated())
        return;

    const InstallOutcome outcome = judgeInstallation(files);
    if (outcome.succeeded) {
        showStatus(msgInstallDone);
        return;
    }
    showStatus(msgInstallFailed);
    std::wstring report = StringTable::instance().text(msgInstallFailed, language());
    report += L"\n\n";
    if (!outcome.reason.empty())
        report += outcome.reason + L"\n";
    report += L"(" + outcome.logFile + L")";
    controls_.showError(report);
}
