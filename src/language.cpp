#include "src/language.h"

#include "src/string_table.h"

using platform::Control;

void applyLanguage(platform::FormControls& form, int language) {
    struct Assignment {
        Control control;
        MessageId message;
    };
    static constexpr Assignment assignments[] = {
        {Control::langRG, msgLanguage},      {Control::ipGB, msgPcIp},
        {Control::ipNoteLbl, msgIpNote},     {Control::refreshIpBTN, msgRefreshIp},
        {Control::tvSeriesRG, msgTvSeries},  {Control::BitInstall, msgInstallBtn},
        {Control::tvIpLbl, msgTvIp},         {Control::installGB, msgInstallGroup},
        {Control::statusLbl, msgPrompt},     {Control::instManualGB, msgManualTitle},
        {Control::manualLbl, msgManualText},
    };
    const StringTable& table = StringTable::instance();
    for (const auto& [control, message] : assignments) {
        form.setText(control, table.text(message, language));
    }
}
