// The check of the TV before a run: its bridge port and its own description, asked at once,
// while the window stays responsive.
#include "src/app/installer_window.h"
#include "src/app/local_address_list.h"
#include "src/install/failure_cause.h"
#include "src/texts/string_table.h"

using platform::Control;
using namespace std::chrono_literals;

namespace {

// Each question has its own, shorter limit; this only keeps a network layer that never
// answers from holding the run.
constexpr auto checkBackstop = 5s;
}  // namespace

bool InstallerWindow::checkTv(const std::wstring& address) {
    check_.reset();
    std::unique_ptr<platform::PendingAnswers> pending;
    try {
        pending = system_.network.askTv(address, {});
    } catch (const std::exception&) {
        return true;  // no network layer to ask with: the run itself will tell
    }
    phase_ = Phase::checking;
    showRunStatus();
    const auto deadline = system_.clock.now() + checkBackstop;
    for (;;) {
        const auto now = system_.clock.now();
        const auto left =
            deadline > now ? std::chrono::ceil<std::chrono::milliseconds>(deadline - now) : 0ms;
        const auto result = system_.processes.wait(&pending->done(), true, left);
        if (result != platform::WaitResult::inputWaiting)
            break;
        system_.loop.processMessages();
        if (system_.loop.terminated())
            return false;
    }
    const auto local = localIpv4AddressesOrNone(system_.addresses);
    check_ = judgeTv(pending->answers(), local);
    pending.reset();
    if (check_->description) {
        if (const auto series = seriesForYear(check_->description->modelYear()))
            controls_.setItemIndex(Control::seriesChoice, *series);
    }
    const auto why = verdictText(*check_, address, local, language());
    if (!why)
        return true;
    const bool anyway = controls_.askYesNo(
        *why + L"\n\n" + StringTable::instance().text(msgInstallAnyway, language()));
    if (system_.loop.terminated())
        return false;
    if (!anyway) {
        phase_ = Phase::idle;
        showStatus(msgPrompt);
    }
    return anyway;
}
