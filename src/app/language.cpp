#include "src/app/language.h"

#include "src/texts/string_table.h"

using platform::Control;

void applyLanguage(platform::FormControls& form, int language) {
    struct Assignment {
        Control control;
        MessageId message;
    };
    static constexpr Assignment assignments[] = {
        {Control::languageChoice, msgLanguage}, {Control::pcAddressGroup, msgPcIp},
        {Control::pcAddressNote, msgIpNote},    {Control::refreshButton, msgRefreshIp},
        {Control::seriesChoice, msgTvSeries},   {Control::installButton, msgInstallBtn},
        {Control::tvAddressLabel, msgTvIp},     {Control::installGroup, msgInstallGroup},
        {Control::status, msgPrompt},           {Control::manualGroup, msgManualTitle},
        {Control::manual, msgManualText},
    };
    const StringTable& table = StringTable::instance();
    for (const auto& [control, message] : assignments) {
        form.setText(control, table.text(message, language));
    }
}
