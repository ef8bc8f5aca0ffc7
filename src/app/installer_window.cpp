#include "src/app/installer_window.h"

#include "src/app/key_filter.h"
#include "src/app/window_language.h"
#include "src/common/scope_exit.h"
#include "src/install/install_run.h"
#include "src/tvs/local_address_list.h"
#include "src/tvs/tv_address.h"
#include "src/tvs/tv_verdict.h"

using platform::Control;

InstallerWindow::InstallerWindow(platform::FormControls& controls, platform::System& system,
                                 std::chrono::seconds waitLimit)
    : controls_(controls),
      system_(system),
      search_(system, [this] { showFoundTvs(); }),
      waitLimit_(waitLimit) {}

void InstallerWindow::created() {
    const auto addresses = showAddresses();
    applyLanguage(controls_, language());
    readyTvOffered_ = false;
    search_.start(addresses);
}

void InstallerWindow::refreshClicked() {
    readyTvOffered_ = false;
    search_.start(showAddresses());
}

std::vector<platform::LocalAddress> InstallerWindow::showAddresses() {
    auto addresses = system_.addresses.localAddresses();
    controls_.setText(Control::pcAddresses, localAddressList(addresses));
    return addresses;
}

void InstallerWindow::languageChosen() {
    applyLanguage(controls_, language());
    // A run keeps showing what it is doing rather than the prompt, and a wait its Cancel.
    if (run_ != nullptr) {
        if (const auto status = run_->status(language()))
            controls_.setText(Control::status, *status);
        if (const auto caption = run_->buttonText(language()))
            controls_.setText(Control::installButton, *caption);
    }
    controls_.setAddressChoices(addressChoices(search_.found(), language()));
}

void InstallerWindow::addressKeyTyped(wchar_t& key) {
    if (!isAddressKey(key))
        key = L'\0';
}

void InstallerWindow::installClicked() {
    if (run_ != nullptr) {
        run_->buttonPressed();  // the button is enabled during a run only as the wait's Cancel
        return;
    }
    if (system_.loop.terminated())
        return;
    const auto address = validTvAddress(controls_.text(Control::tvAddressBox));
    if (!address) {
        controls_.showMessage(text(msgBadTvIp, language()));
        return;
    }
    InstallRun run(controls_, system_, *address, search_.found(), waitLimit_);
    run_ = &run;
    // Nothing goes out to the network but the run's own while it runs.
    search_.pause();
    const OnScopeExit over([this] {
        run_ = nullptr;
        search_.resume();
    });
    run.go();
}

Language InstallerWindow::language() const {
    return shownLanguage(controls_);
}

void InstallerWindow::showFoundTvs() {
    const auto& found = search_.found();
    controls_.setAddressChoices(addressChoices(found, language()));
    controls_.setSearching(search_.searching());
    // The first time after the search has ended that the list holds exactly one ready TV (at
    // its end, or later when a TV becomes ready after its restart), that TV goes into an empty
    // box with its series; never over what the user typed, never while a run holds the box, and
    // not again until the next search.
    if (readyTvOffered_ || search_.searching() || run_ != nullptr)
        return;
    const FoundTv* ready = onlyReadyTv(found);
    if (ready == nullptr)
        return;
    readyTvOffered_ = true;
    const std::wstring typed = controls_.text(Control::tvAddressBox);
    if (typed.find_first_not_of(L" \t") != std::wstring::npos)
        return;
    controls_.setText(Control::tvAddressBox, ready->address);
    if (ready->verdict.description) {
        if (const auto series = seriesForYear(ready->verdict.description->modelYear()))
            controls_.setItemIndex(Control::seriesChoice, *series);
    }
}
