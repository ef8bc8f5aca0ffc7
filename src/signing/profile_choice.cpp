#include "src/signing/profile_choice.h"

#include "src/app/window_language.h"

namespace {

// What the program remembers is a convenience: a registry that refuses only costs asking again.
void remember(platform::Settings& settings, const std::optional<std::wstring>& folder) {
    try {
        settings.setProfileFolder(folder);
    } catch (const std::exception&) {
    }
}

}  // namespace

std::optional<OwnerProfile> chooseProfile(platform::FormControls& controls,
                                          platform::System& system, const std::wstring& why) {
    const Language language = shownLanguage(controls);
    auto& settings = system.settings;
    auto& dialogs = system.profileDialogs;
    std::optional<std::wstring> folder = settings.profileFolder();
    if (folder) {
        const auto question = fillIn(text(msgUseRemembered, language), {*folder});
        const bool useIt = controls.askYesNo(why.empty() ? question : why + L"\n\n" + question);
        if (system.loop.terminated())
            return std::nullopt;
        if (!useIt)
            folder.reset();
    } else if (!why.empty()) {
        const bool choose = controls.askYesNo(why + L"\n\n" + text(msgChooseNow, language));
        if (!choose || system.loop.terminated())
            return std::nullopt;
    }
    if (!folder) {
        const auto root = settings.defaultProfileRoot();
        folder = dialogs.chooseFolder(text(msgChooseFolder, language), root,
                                      widget::findProfiles(system.files, root));
        if (!folder) {
            // The way back to "no profile".
            remember(settings, std::nullopt);
            return std::nullopt;
        }
        remember(settings, folder);
    }
    const platform::PasswordDialogTexts texts{text(msgPasswordTitle, language),
                                              fillIn(text(msgPasswordIntro, language), {*folder}),
                                              text(msgAuthorPassword, language),
                                              text(msgDistributorPassword, language),
                                              text(msgOk, language),
                                              text(msgCancel, language)};
    auto passwords = dialogs.askPasswords(texts);
    if (!passwords || system.loop.terminated())
        return std::nullopt;
    OwnerProfile profile{widget::readProfile(system.files, *folder), std::move(*passwords), {}};
    // Everything that needs no TV, before anything is written.
    if (const auto problem = widget::checkProfile(
            profile.files, system.crypto, profile.passwords.author, profile.passwords.distributor,
            system.clock.wallTime(), {}, &profile.certificates)) {
        controls.showError(widget::profileProblemText(*problem, language));
        return std::nullopt;
    }
    return profile;
}
