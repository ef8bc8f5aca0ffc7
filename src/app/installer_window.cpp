#include "src/app/installer_window.h"

#include "src/app/key_filter.h"
#include "src/app/language.h"
#include "src/app/local_address_list.h"
#include "src/texts/string_table.h"

using platform::Control;

InstallerWindow::InstallerWindow(platform::FormControls& controls, platform::System& system)
    : widgetBaseName(L"Quorvex"),
      applicationId(L"kR4vT7mWq2Z.Quorvex"),
      stagingDirJK(L"/opt/usr/apps/tmp"),
      stagingDirMNQRT(L"/home/owner/share/tmp/sdk_tools/tmp"),
      controls_(controls),
      system_(system) {}

void InstallerWindow::created() {
    const auto addresses = system_.addresses.localAddresses();
    controls_.setText(Control::pcAddresses, localAddressList(addresses));
    applyLanguage(controls_, controls_.itemIndex(Control::languageChoice));
    startTvSearch(addresses);
}

void InstallerWindow::refreshClicked() {
    const auto addresses = system_.addresses.localAddresses();
    controls_.setText(Control::pcAddresses, localAddressList(addresses));
    startTvSearch(addresses);
}

void InstallerWindow::languageChosen() {
    applyLanguage(controls_, language());
    if (phase_ != Phase::idle)
        showRunStatus();
    controls_.setAddressChoices(addressChoices(found_, language()));
}

void InstallerWindow::showRunStatus() {
    if (phase_ == Phase::checking) {
        controls_.setText(
            Control::status,
            fillIn(StringTable::instance().text(msgCheckingTv, language()), {runAddress_}));
    } else {
        showStatus(msgInstalling);
    }
}

int InstallerWindow::language() const {
    return controls_.itemIndex(Control::languageChoice);
}

const std::wstring& InstallerWindow::stagingDir() const {
    return controls_.itemIndex(Control::seriesChoice) == 0 ? stagingDirJK : stagingDirMNQRT;
}

void InstallerWindow::showStatus(int message) {
    controls_.setText(Control::status,
                      StringTable::instance().text(static_cast<MessageId>(message), language()));
}

void InstallerWindow::addressKeyTyped(wchar_t& key) {
    if (!isAddressKey(key))
        key = L'\0';
}
