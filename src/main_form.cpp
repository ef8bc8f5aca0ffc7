#include "src/main_form.h"

#include "src/key_filter.h"
#include "src/language.h"
#include "src/local_address_list.h"
#include "src/string_table.h"

using platform::Control;

TmainForm::TmainForm(platform::FormControls& controls, platform::System& system)
    : widgetBaseName(L"Quorvex"),
      applicationId(L"kR4vT7mWq2Z.Quorvex"),
      stagingDirJK(L"/opt/usr/apps/tmp"),
      stagingDirMNQRT(L"/home/owner/share/tmp/sdk_tools/tmp"),
      controls_(controls),
      system_(system) {}

void TmainForm::FormCreate() {
    const auto addresses = system_.addresses.localAddresses();
    controls_.setText(Control::ipValLBL, localAddressList(addresses));
    applyLanguage(controls_, controls_.itemIndex(Control::langRG));
    startTvSearch(addresses);
}

void TmainForm::refreshIpBTNClick() {
    const auto addresses = system_.addresses.localAddresses();
    controls_.setText(Control::ipValLBL, localAddressList(addresses));
    startTvSearch(addresses);
}

void TmainForm::langRGClick() {
    applyLanguage(controls_, language());
    if (phase_ != Phase::idle)
        showRunStatus();
    controls_.setAddressChoices(addressChoices(found_, language()));
}

void TmainForm::showRunStatus() {
    if (phase_ == Phase::checking) {
        controls_.setText(
            Control::statusLbl,
            fillIn(StringTable::instance().text(msgCheckingTv, language()), {runAddress_}));
    } else {
        showStatus(msgInstalling);
    }
}

int TmainForm::language() const {
    return controls_.itemIndex(Control::langRG);
}

const std::wstring& TmainForm::stagingDir() const {
    return controls_.itemIndex(Control::tvSeriesRG) == 0 ? stagingDirJK : stagingDirMNQRT;
}

void TmainForm::showStatus(int message) {
    controls_.setText(Control::statusLbl,
                      StringTable::instance().text(static_cast<MessageId>(message), language()));
}

void TmainForm::tvIpEdtKeyPress(wchar_t& key) {
    if (!isAddressKey(key))
        key = L'\0';
}
