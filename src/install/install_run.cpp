#include "src/install/install_run.h"

#include <exception>

#include "platform/error.h"
#include "src/app/window_language.h"
#include "src/common/scope_exit.h"
#include "src/install/command_runner.h"
#include "src/install/failure_cause.h"
#include "src/install/install_commands.h"
#include "src/install/run_steps.h"
#include "src/payload/payload.h"
#include "src/signing/owner_profile.h"
#include "src/signing/profile_choice.h"
#include "src/signing/signed_steps.h"
#include "src/tvs/local_address_list.h"

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
    return installCommandLine(InstallStep::killServer, {});
}

}  // namespace

InstallRun::InstallRun(platform::FormControls& controls, platform::System& system,
                       std::wstring address, const std::vector<FoundTv>& found,
                       std::chrono::seconds waitLimit)
    : controls_(controls),
      system_(system),
      address_(std::move(address)),
      found_(found),
      waitLimit_(waitLimit) {}

std::optional<std::wstring> InstallRun::status(Language language) const {
    switch (phase_) {
        case Phase::checking:
            return fillIn(text(msgCheckingTv, language), {address_});
        case Phase::waiting:
            return wait_->status(address_, system_.clock.now(), language);
        case Phase::installing:
            return text(msgInstalling, language);
        case Phase::idle:
            break;
    }
    return std::nullopt;
}

void InstallRun::go() {
    // The controls that could start a second run or change the staging directory half-way are
    // disabled for the run and enabled again however it ends.
    setRunControlsEnabled(false);
    const OnScopeExit enableAgain([this] { setRunControlsEnabled(true); });
    // Until the commands start, a run that stops (a file that cannot be written, a profile that
    // will not do) leaves the status as it was, in the language now chosen.
    const std::wstring statusBefore = controls_.text(Control::status);
    const Language languageBefore = language();
    const OnScopeExit restoreStatus([&] {
        if (phase_ != Phase::checking)
            return;
        if (language() == languageBefore)
            controls_.setText(Control::status, statusBefore);
        else
            showStatus(msgPrompt);
    });
    const auto place = chooseToolPlace(system_.toolFolders);
    if (!place) {
        controls_.showError(
            fillIn(text(msgFolderUnspellable, language()), {system_.toolFolders.currentFolder()}));
        return;
    }
    place_ = *place;
    if (!check())
        return;
    std::optional<OwnerProfile> profile;
    if (const auto year = yearNeedingSignature(address_, check_, found_)) {
        phase_ = Phase::checking;
        profile = chooseProfile(
            controls_, system_,
            fillIn(text(msgNeedsProfile, language()), {address_, std::to_wstring(*year)}));
        if (!profile)
            return;
    }
    auto outcome = install(profile ? &*profile : nullptr);
    if (!outcome)
        return;
    if (!profile && !outcome->succeeded && refusedAsUnsigned(outcome->reason)) {
        // A set that takes only packages signed for it, which the check did not recognise: the
        // owner's profile gets the widget through.
        phase_ = Phase::checking;
        const bool again =
            controls_.askYesNo(fillIn(text(msgAfterRefusal, language()), {address_}) + L"\n\n" +
                               outcome->reason + L"\n(" + outcome->logFile + L")");
        if (system_.loop.terminated())
            return;
        if (again) {
            profile = chooseProfile(controls_, system_, L"");
            if (profile)
                outcome = install(&*profile);
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
        report(*outcome);
    } catch (...) {
        // Whatever went wrong, the status never stays "in progress".
        showStatus(msgInstallFailed);
        throw;
    }
}

std::optional<InstallOutcome> InstallRun::install(OwnerProfile* profile) {
    RunRecord record{system_.clock.wallTime(), {}};
    signedWith_ = profile ? profile->folder() : std::wstring();
    if (!prepare(profile != nullptr, record))
        return std::nullopt;

    std::optional<SignedSteps> signedSteps;
    if (profile != nullptr)
        signedSteps.emplace(controls_, system_, address_, *profile, widgetFile);
    const auto stopped = runCommands(signedSteps ? &*signedSteps : nullptr);
    const bool finished = !system_.loop.terminated() && !stopped;
    if (profile != nullptr)
        profile->passwords = {};
    cleanUp(finished);
    if (stopped && !system_.loop.terminated()) {
        showStatus(msgInstallFailed);
        controls_.showError(*stopped);
    }
    if (!finished)
        return std::nullopt;
    try {
        return judgeInstallation(system_.files, record);
    } catch (...) {
        showStatus(msgInstallFailed);
        throw;
    }
}

bool InstallRun::prepare(bool signedRun, RunRecord& record) {
    auto& files = system_.files;
    try {
        files.createDirectory(logDirectory);
    } catch (const std::exception&) {
        // A missing log directory only costs the logs.
    }
    const std::wstring toolFile = place_.file();
    std::vector<std::wstring> leftovers{bridgeToolName};
    if (!place_.folder.empty()) {
        system_.toolFolders.searchFirst(place_.folder);
        leftovers.push_back(toolFile);
    }
    for (const auto& leftover : leftovers) {
        if (!removeWithin(system_, leftover, 0ms)) {
            // Most likely the server of an interrupted run: the tool that started it stops it.
            runCommand(system_.processes, system_.loop, system_.clock, killServerLine(),
                       {.total = killServerLimit});
            removeWithin(system_, leftover, serverLeftBehindRelease);
            if (system_.loop.terminated())
                return false;
        }
    }
    // The commands would find an iu.exe left in the current folder before the one written.
    if (toolFile != bridgeToolName && present(files, bridgeToolName)) {
        throw platform::Error(
            fillIn(text(msgFileHeld, language()), {std::wstring(bridgeToolName)}));
    }
    deleteIfExists(files, widgetFile);
    writePayload(toolFile, L"IUFILE");
    // A signed run writes the widget once it is signed, after the TV's DUID has been checked.
    if (!signedRun) {
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
            record.unremovedLogs.insert(command.logFile);
    }
    if (signedRun) {
        for (const auto* log : signedRunLogs)
            deleteIfExists(files, log);
    }
    return true;
}

std::optional<std::wstring> InstallRun::runCommands(RunSteps* steps) {
    // The commands' own steps take the bar to 100; a signed run's extra steps share that room.
    const int totalWeight = commandsProgress + (steps ? steps->progressWeight() : 0);
    int doneWeight = 0;
    const auto advance = [&](int weight) {
        doneWeight += weight;
        controls_.setPosition(installStartPosition + commandsProgress * doneWeight / totalWeight);
    };
    const auto run = [&](const InstallCommand& command) {
        const InstallNames names{
            address_, commandsApplicationId, widgetFile,
            command.namesStagingDir
                ? stagingDirs[controls_.itemIndex(Control::seriesChoice) == 0 ? 0 : 1]
                : L""};
        runCommand(system_.processes, system_.loop, system_.clock,
                   installCommandLine(command.step, names),
                   {.total = command.stopsServer ? killServerLimit : platform::waitForever,
                    .afterQuit = commandAfterClose});
    };
    std::optional<std::wstring> stopped;
    // The signed run's own steps stop the run, however they fail, so that it still cleans up.
    const auto step = [&](const std::function<void()>& action) {
        try {
            action();
        } catch (const RunStop& stop) {
            stopped = stop.text;
        } catch (const std::exception& e) {
            stopped = platform::exceptionMessage(e);
        }
        return !stopped && !system_.loop.terminated();
    };

    phase_ = Phase::installing;
    showRunStatus();
    controls_.setPosition(installStartPosition);
    for (const auto& command : installCommands) {
        run(command);
        if (system_.loop.terminated())
            break;
        if (steps != nullptr && command.step == InstallStep::install) {
            bool again = false;
            if (!step([&] { again = steps->installAgain(); }))
                break;
            if (again) {
                run(command);
                if (system_.loop.terminated())
                    break;
            }
        }
        advance(command.progressStep);
        if (steps != nullptr && command.step == InstallStep::connect &&
            !step([&] { steps->afterConnecting(advance); })) {
            break;
        }
    }
    phase_ = Phase::idle;
    return stopped;
}

void InstallRun::cleanUp(bool finished) {
    if (!finished) {
        // The window is gone or the run stopped: start no further step, but leave no server
        // holding iu.exe.
        runCommand(system_.processes, system_.loop, system_.clock, killServerLine(),
                   {.total = killServerLimit, .afterQuit = killServerLimit});
    }
    removeWithin(system_, place_.file(), serverRelease);
    deleteIfExists(system_.files, widgetFile);
}

void InstallRun::report(const InstallOutcome& outcome) {
    if (outcome.succeeded) {
        showStatus(msgInstallDone);
        return;
    }
    showStatus(msgInstallFailed);
    const FailureContext context{
        address_,
        check_ ? &*check_ : nullptr,
        localIpv4AddressesOrNone(system_.addresses),
        language(),
        place_.folder.empty() ? system_.toolFolders.currentFolder() : place_.folder,
        signedWith_};
    controls_.showError(failureReport(outcome, context));
}

Language InstallRun::language() const {
    return shownLanguage(controls_);
}

void InstallRun::showStatus(TextId id) {
    controls_.setText(Control::status, text(id, language()));
}

void InstallRun::showRunStatus() {
    if (const auto shown = status(language()))
        controls_.setText(Control::status, *shown);
}

void InstallRun::writePayload(const std::wstring& file, const std::wstring& resource) {
    system_.resources.find(resource);  // a missing resource keeps its own message
    try {
        extractResource(system_.resources, system_.files, file, resource);
    } catch (const platform::WriteError& e) {
        const auto& advice = text(e.inUse() ? msgFileHeld : msgFileNotWritable, language());
        throw platform::Error(fillIn(advice, {file}) + L"\n\n(" + e.reason() + L")");
    }
}

void InstallRun::setRunControlsEnabled(bool enabled) {
    for (auto control : {Control::installButton, Control::tvAddressBox, Control::seriesChoice})
        controls_.setEnabled(control, enabled);
}
