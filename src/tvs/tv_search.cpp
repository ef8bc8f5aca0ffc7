// The search for TVs on this PC's networks, in the background: the window never waits for it.
#include "src/app/installer_window.h"
#include "src/app/local_address_list.h"
#include "src/tvs/sweep_targets.h"

using platform::Control;

void InstallerWindow::startTvSearch(const std::vector<platform::LocalAddress>& addresses) {
    search_.reset();  // a search still running is cancelled
    const unsigned number = ++searchNumber_;
    const auto targets = sweepTargets(addresses);
    auto& loop = system_.loop;
    search_ = system_.network.sweep(targets, {}, [&loop, this, number] {
        loop.post([this, number] { tvSearchFinished(number); });
    });
}

void InstallerWindow::tvSearchFinished(unsigned search) {
    if (search != searchNumber_ || !search_ || system_.loop.terminated())
        return;
    found_ = judgeFound(search_->report(), localIpv4AddressesOrNone(system_.addresses));
    search_.reset();
    controls_.setAddressChoices(addressChoices(found_, language()));
    // The one ready TV goes into an empty box, with its series, unless a run holds the box.
    const FoundTv* ready = onlyReadyTv(found_);
    if (ready == nullptr || phase_ != Phase::idle)
        return;
    const std::wstring typed = controls_.text(Control::tvAddressBox);
    if (typed.find_first_not_of(L" \t") != std::wstring::npos)
        return;
    controls_.setText(Control::tvAddressBox, ready->address);
    if (ready->verdict.description) {
        if (const auto series = seriesForYear(ready->verdict.description->modelYear()))
            controls_.setItemIndex(Control::seriesChoice, *series);
    }
}
