#include "src/app/window_language.h"

using platform::Control;

Language shownLanguage(const platform::FormControls& form) {
    return form.itemIndex(Control::languageChoice) == 0 ? Language::russian : Language::english;
}

void applyLanguage(platform::FormControls& form, Language language) {
    struct Assignment {
        Control control;
        TextId message;
    };
    static constexpr Assignment assignments[] = {
        {Control::languageChoice, msgLanguage}, {Control::pcAddressGroup, msgPcIp},
        {Control::pcAddressNote, msgIpNote},    {Control::refreshButton, msgRefreshIp},
        {Control::seriesChoice, msgTvSeries},   {Control::installButton, msgInstallBtn},
        {Control::tvAddressLabel, msgTvIp},     {Control::installGroup, msgInstallGroup},
        {Control::status, msgPrompt},           {Control::manualGroup, msgManualTitle},
        {Control::manual, msgManualText},
    };
    for (const auto& [control, message] : assignments)
        form.setText(control, text(message, language));
}
