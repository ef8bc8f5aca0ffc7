// The run's check of the TV before anything is written: the question when it does not look
// ready, and the wait for a TV that a restart or a few minutes make ready, with the install
// button as its Cancel. (The rest of the run is in install_run.cpp.)
#include "src/install/install_run.h"

#include "src/app/window_language.h"
#include "src/common/scope_exit.h"
#include "src/install/failure_cause.h"
#include "src/tvs/local_address_list.h"
#include "src/tvs/tv_check.h"

using platform::Control;

std::optional<std::wstring> InstallRun::buttonText(Language language) const {
    if (phase_ != Phase::waiting)
        return std::nullopt;
    return text(msgCancel, language);
}

void InstallRun::buttonPressed() {
    if (wait_ != nullptr)
        wait_->cancel();
}

bool InstallRun::check() {
    check_.reset();
    auto pending = askTv(system_.network, address_);
    if (!pending)
        return true;
    phase_ = Phase::checking;
    showRunStatus();
    check_ = awaitVerdict(system_, *pending);
    pending.reset();
    if (!check_)
        return false;
    showTvSeries();
    const auto local = localIpv4AddressesOrNone(system_.addresses);
    const auto why = verdictText(*check_, address_, local, language());
    if (!why)
        return true;
    if (!restartCures(check_->readiness))
        return askInstallAnyway(*why);
    const auto answer = controls_.askYesNoCancel(*why + L"\n\n" + text(msgWaitOffer, language()));
    if (system_.loop.terminated())
        return false;
    switch (answer) {
        case platform::Answer::yes:
            return waitForTv();
        case platform::Answer::no:
            return true;
        case platform::Answer::cancel:
            break;
    }
    phase_ = Phase::idle;
    showStatus(msgPrompt);
    return false;
}

bool InstallRun::waitForTv() {
    RestartWait wait(*check_, system_.clock.now(), waitLimit_);
    {
        wait_ = &wait;
        phase_ = Phase::waiting;
        controls_.setText(Control::installButton, text(msgCancel, language()));
        controls_.setEnabled(Control::installButton, true);
        const OnScopeExit over([this] {
            // Locked before it is named again: it never offers to install while a run goes on.
            controls_.setEnabled(Control::installButton, false);
            controls_.setText(Control::installButton, text(msgInstallBtn, language()));
            wait_ = nullptr;
            phase_ = Phase::checking;
        });
        followTv(system_, address_, wait, [this] { showRunStatus(); });
    }
    check_ = wait.last();
    // Cancelled: go() puts the status back as it was before the press.
    if (system_.loop.terminated() || wait.state() == RestartWait::State::cancelled)
        return false;
    showTvSeries();
    showRunStatus();
    if (wait.state() == RestartWait::State::ready)
        return true;
    const auto local = localIpv4AddressesOrNone(system_.addresses);
    std::wstring why = verdictText(*check_, address_, local, language()).value_or(L"");
    if (wait.state() == RestartWait::State::outOfTime) {
        why = fillIn(text(msgWaitGaveUp, language()), {minutesAndSeconds(wait.limit())}) + L"\n\n" +
              why;
    }
    return askInstallAnyway(why);
}

bool InstallRun::askInstallAnyway(const std::wstring& why) {
    const bool anyway = controls_.askYesNo(why + L"\n\n" + text(msgInstallAnyway, language()));
    if (system_.loop.terminated())
        return false;
    if (!anyway) {
        phase_ = Phase::idle;
        showStatus(msgPrompt);
    }
    return anyway;
}

void InstallRun::showTvSeries() {
    if (!check_ || !check_->description)
        return;
    if (const auto series = seriesForYear(check_->description->modelYear()))
        controls_.setItemIndex(Control::seriesChoice, *series);
}
