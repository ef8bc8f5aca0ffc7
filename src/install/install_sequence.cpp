// The install button: check the address, write the payloads, run the eleven commands, remove
// the payloads and tell the user how it went.
#include <exception>
#include <functional>
#include <vector>

#include "platform/error.h"
#include "src/app/installer_window.h"
#include "src/app/local_address_list.h"
#include "src/install/command_runner.h"
#include "src/install/failure_cause.h"
#include "src/install/install_commands.h"
#include "src/install/install_outcome.h"
#include "src/payload/payload.h"
#include "src/payload/tool_place.h"
#include "src/signing/owner_profile.h"
#include "src/signing/signed_run.h"
#include "src/texts/signing_texts.h"
#include "src/texts/string_table.h"
#include "src/tvs/tv_address.h"

using platform::Control;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* logDirectory = L"doLog";

// The bridge's background server runs from iu.exe and keeps it in use until kill-server stops it;
// it exits a few milliseconds after it has answered, not before kill-server returns.
constexpr auto killServerLimit = 10s;
constexpr auto serverLeftBehindRelease = 5s;  // a server an interrupted run left running
constexpr auto serverRelease = 3s;            // this run's server, after the last kill-server
constexpr auto commandAfterClose = 10s;       // the command running when the window was closed
constexpr auto retryInterval = 100ms;

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
        for (auto control :
             {Control::installButton, Control::tvAddressBox, Control::seriesChoice}) {
            controls_.setEnabled(control, enabled);
        }
    }
    platform::FormControls& controls_;
};

// Sets a value for a scope and puts the idle one back however the scope is left.
template <typename Value>
class Scoped {
  public:
    Scoped(Value& value, Value idle) : value_(value), idle_(idle) {}
    ~Scoped() { value_ = idle_; }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

  private:
    Value& value_;
    Value idle_;
};

// Runs its action when the scope is left, however it is left; the action must not throw.
class OnScopeExit {
  public:
    explicit OnScopeExit(std::function<void()> action) : action_(std::move(action)) {}
    ~OnScopeExit() {
        try {
            action_();
        } catch (...) {
        }
    }
    OnScopeExit(const OnScopeExit&) = delete;
    OnScopeExit& operator=(const OnScopeExit&) = delete;

  private:
    std::function<void()> action_;
};

bool present(platform::FileSystem& files, const std::wstring& name) {
    try {
        return files.fileExists(name);
    } catch (...) {
        return true;  // cannot tell: assume it is still there
    }
}

// Deletes the file, trying again while something still holds it, for up to `patience`.
// True once it is gone.
bool removeWithin(platform::System& system, const std::wstring& name,
                  std::chrono::milliseconds patience) {
    const auto deadline = system.clock.now() + patience;
    for (;;) {
        deleteIfExists(system.files, name);
        if (!present(system.files, name))
            return true;
        if (system.clock.now() >= deadline)
            return false;
        serveInputFor(system.processes, system.loop, system.clock, retryInterval);
    }
}

std::wstring killServerLine() {
    return installCommandLine(0, {});
}

}  // namespace

void InstallerWindow::writePayload(const std::wstring& file, const std::wstring& resource) {
    system_.resources.find(resource);  // a missing resource keeps its own message
    try {
        extractResource(system_.resources, system_.files, file, resource);
    } catch (const platform::WriteError& e) {
        const auto& advice =
            StringTable::instance().text(e.inUse() ? msgFileHeld : msgFileNotWritable, language());
        throw platform::Error(fillIn(advice, {file}) + L"\n\n(" + e.reason() + L")");
    }
}

void InstallerWindow::installClicked() {
    if (phase_ != Phase::idle || system_.loop.terminated())
        return;
    const auto address = validTvAddress(controls_.text(Control::tvAddressBox));
    if (!address) {
        controls_.showMessage(StringTable::instance().text(msgBadTvIp, language()));
        return;
    }
    const RunLock lock(controls_);
    const Scoped<Phase> idleAfterwards(phase_, Phase::idle);
    // Until the commands start, a run that stops (a file that cannot be written, a profile that
    // will not do) leaves the status as it was, in the language now chosen.
    const std::wstring statusBefore = controls_.text(Control::status);
    const int languageBefore = language();
    const OnScopeExit restoreStatus([&] {
        if (phase_ != Phase::checking)
            return;
        if (language() == languageBefore)
            controls_.setText(Control::status, statusBefore);
        else
            showStatus(msgPrompt);
    });
    runAddress_ = *address;
    signedWith_.clear();
    const auto place = chooseToolPlace(system_.toolFolders);
    if (!place) {
        controls_.showError(fillIn(StringTable::instance().text(msgFolderUnspellable, language()),
                                   {system_.toolFolders.currentFolder()}));
        return;
    }
    if (!checkTv(*address))
        return;
    std::optional<OwnerProfile> profile;
    if (const auto year = signingYear(*address)) {
        phase_ = Phase::checking;
        profile = chooseProfile(
            fillIn(signingText(sgnNeedsProfile, language()), {*address, std::to_wstring(*year)}));
        if (!profile)
            return;
    }
    auto outcome = install(*address, profile ? &*profile : nullptr, *place);
    if (!outcome)
        return;
    if (!profile && !outcome->succeeded && refusedAsUnsigned(outcome->reason)) {
        // A set that takes only packages signed for it, which the check did not recognise: the
        // owner's profile gets the widget through.
        phase_ = Phase::checking;
        const bool again =
            controls_.askYesNo(fillIn(signingText(sgnAfterRefusal, language()), {*address}) +
                               L"\n\n" + outcome->reason + L"\n(" + outcome->logFile + L")");
        if (system_.loop.terminated())
            return;
        if (again) {
            profile = chooseProfile(L"");
            if (profile)
                outcome = install(*address, &*profile, *place);
            if (!outcome)
                return;
        }
        if (!profile) {
            phase_ = Phase::idle;
            showStatus(msgInstallFailed);
            return;
        }
    }
    try {
        reportOutcome(*outcome, *address,
                      place->folder.empty() ? system_.toolFolders.currentFolder() : place->folder);
    } catch (...) {
        // Whatever went wrong, the status never stays "in progress".
        showStatus(msgInstallFailed);
        throw;
    }
}

std::optional<InstallOutcome> InstallerWindow::install(const std::wstring& address,
                                                       OwnerProfile* profile,
                                                       const ToolPlace& place) {
    auto& files = system_.files;
    RunRecord run{system_.clock.wallTime(), {}};
    signedWith_ = profile ? profile->folder() : std::wstring();

    try {
        files.createDirectory(logDirectory);
    } catch (const std::exception&) {
        // A missing log directory only costs the logs.
    }
    const std::wstring widgetFile = widgetBaseName + L".wgt";
    const std::wstring toolFile = place.file();
    std::vector<std::wstring> leftovers{bridgeToolName};
    if (!place.folder.empty()) {
        system_.toolFolders.searchFirst(place.folder);
        leftovers.push_back(toolFile);
    }
    for (const auto& leftover : leftovers) {
        if (!removeWithin(system_, leftover, 0ms)) {
            // Most likely the server of an interrupted run: the tool that started it stops it.
            runCommand(system_.processes, system_.loop, system_.clock, killServerLine(),
                       {.total = killServerLimit});
            removeWithin(system_, leftover, serverLeftBehindRelease);
            if (system_.loop.terminated())
                return std::nullopt;
        }
    }
    // The commands would find an iu.exe left in the current folder before the one written.
    if (toolFile != bridgeToolName && present(files, bridgeToolName)) {
        throw platform::Error(fillIn(StringTable::instance().text(msgFileHeld, language()),
                                     {std::wstring(bridgeToolName)}));
    }
    deleteIfExists(files, widgetFile);
    writePayload(toolFile, L"IUFILE");
    // A signed run writes the widget once it is signed, after the TV's DUID has been checked.
    if (profile == nullptr) {
        try {
            writePayload(widgetFile, L"WGTFILE");
        } catch (...) {
            deleteIfExists(files, toolFile);
            throw;
        }
    }
    // Logs of an earlier run must not speak for this one if a command cannot write its own.
    for (const auto& command : installCommands) {
        if (command.logFile != nullptr && !removeWithin(system_, command.logFile, 0ms))
            run.unremovedLogs.insert(command.logFile);
    }
    if (profile != nullptr) {
        for (const auto* log : signedRunLogs)
            deleteIfExists(files, log);
    }

    // The eleven commands are worth 98 points of progress; a signed run's extra steps share them.
    const int totalWeight = 98 + (profile ? signedRunWeight(*profile) : 0);
    int doneWeight = 0;
    const auto advance = [&](int weight) {
        doneWeight += weight;
        controls_.setPosition(installStartPosition + 98 * doneWeight / totalWeight);
    };
    const auto runStep = [&](int index) {
        const auto& command = installCommands[static_cast<size_t>(index)];
        const InstallNames names{address, applicationId, widgetFile,
                                 command.namesStagingDir ? stagingDir() : std::wstring()};
        runCommand(system_.processes, system_.loop, system_.clock, installCommandLine(index, names),
                   {.total = command.stopsServer ? killServerLimit : platform::waitForever,
                    .afterQuit = commandAfterClose});
    };
    bool finished = false;
    std::optional<std::wstring> stopped;
    {
        phase_ = Phase::installing;
        showStatus(msgInstalling);
        controls_.setPosition(installStartPosition);
        // The signed run's own steps stop the run, however they fail, so that it still cleans up.
        const auto signedStep = [&](const std::function<void()>& step) {
            try {
                step();
            } catch (const SignedRunStop& stop) {
                stopped = stop.text;
            } catch (const std::exception& e) {
                stopped = platform::exceptionMessage(e);
            }
            return !stopped && !system_.loop.terminated();
        };
        for (int i = 0; i < installCommandCount; ++i) {
            runStep(i);
            if (system_.loop.terminated())
                break;
            bool installAgain = false;
            if (profile != nullptr && i == 7 && otherAuthorsCopy(files) &&
                !signedStep([&] { installAgain = removeOtherAuthorsCopy(); })) {
                break;
            }
            if (installAgain) {
                runStep(i);
                if (system_.loop.terminated())
                    break;
            }
            advance(installCommands[static_cast<size_t>(i)].progressStep);
            if (profile != nullptr && i == 1 &&
                !signedStep([&] { prepareSignedRun(address, *profile, widgetFile, advance); })) {
                break;
            }
        }
        finished = !system_.loop.terminated() && !stopped;
        phase_ = Phase::idle;
    }
    if (profile != nullptr)
        profile->passwords = {};
    if (!finished) {
        // The window is gone or the run stopped: start no further step, but leave no server
        // holding iu.exe.
        runCommand(system_.processes, system_.loop, system_.clock, killServerLine(),
                   {.total = killServerLimit, .afterQuit = killServerLimit});
    }
    removeWithin(system_, toolFile, serverRelease);
    deleteIfExists(files, widgetFile);
    if (stopped && !system_.loop.terminated()) {
        showStatus(msgInstallFailed);
        controls_.showError(*stopped);
    }
    if (!finished)
        return std::nullopt;
    try {
        return judgeInstallation(files, run);
    } catch (...) {
        showStatus(msgInstallFailed);
        throw;
    }
}

void InstallerWindow::reportOutcome(const InstallOutcome& outcome, const std::wstring& address,
                                    const std::wstring& toolFolder) {
    if (outcome.succeeded) {
        showStatus(msgInstallDone);
        return;
    }
    showStatus(msgInstallFailed);
    const auto& table = StringTable::instance();
    // The cause and what to do first; without one, the failure text.
    std::optional<std::wstring> cause;
    if (!outcome.reason.empty())
        cause = certificateRefusalCause(outcome.reason, signedWith_, language());
    if (!cause && !outcome.reason.empty()) {
        cause = failureCause(outcome.reason,
                             {address, check_ ? &*check_ : nullptr,
                              localIpv4AddressesOrNone(system_.addresses), language(), toolFolder});
    }
    std::wstring report = cause ? *cause : table.text(msgInstallFailed, language());
    if (!outcome.reason.empty())
        report += L"\n\n" + outcome.reason + L"\n(" + outcome.logFile + L")";
    static constexpr MessageId problems[] = {msgLogMissing, msgLogEmpty, msgLogUnrecognised};
    if (outcome.installLog != InstallLogProblem::none) {
        const auto problem = problems[static_cast<int>(outcome.installLog) - 1];
        report += L"\n\n" + fillIn(table.text(problem, language()), {installLogFile});
    }
    controls_.showError(report);
}
