// The window's side of a signed run, for TVs that install only a widget signed with their
// owner's Samsung certificate profile: asking for the profile, the TV's DUID, signing, the
// device profile, and another author's copy.
#include <algorithm>

#include "platform/error.h"
#include "src/app/installer_window.h"
#include "src/install/command_runner.h"
#include "src/install/install_outcome.h"
#include "src/payload/payload.h"
#include "src/signing/owner_profile.h"
#include "src/signing/signed_run.h"
#include "src/signing/widget_ids.h"
#include "src/signing/widget_package.h"
#include "src/signing/widget_signer.h"
#include "src/texts/signing_texts.h"
#include "src/texts/string_table.h"

namespace {

constexpr int firstSigningYear = 2023;
constexpr int duidAttempts = 2;  // slow sets may need a second ask

// What the program remembers is a convenience: a registry that refuses only costs asking again.
void remember(platform::Settings& settings, const std::optional<std::wstring>& folder) {
    try {
        settings.setProfileFolder(folder);
    } catch (const std::exception&) {
    }
}

// Deletes a file when the scope is left, however it is left.
class RemovedAfterwards {
  public:
    RemovedAfterwards(platform::FileSystem& files, std::wstring name)
        : files_(files), name_(std::move(name)) {}
    ~RemovedAfterwards() { deleteIfExists(files_, name_); }
    RemovedAfterwards(const RemovedAfterwards&) = delete;
    RemovedAfterwards& operator=(const RemovedAfterwards&) = delete;

  private:
    platform::FileSystem& files_;
    std::wstring name_;
};

}  // namespace

std::optional<int> InstallerWindow::signingYear(const std::wstring& address) const {
    std::optional<int> year;
    if (check_ && check_->description)
        year = check_->description->modelYear();
    for (const auto& tv : found_) {
        if (!year && tv.address == address && tv.verdict.description)
            year = tv.verdict.description->modelYear();
    }
    if (year && *year >= firstSigningYear)
        return year;
    return std::nullopt;
}

std::optional<OwnerProfile> InstallerWindow::chooseProfile(const std::wstring& why) {
    const int lang = language();
    auto& settings = system_.settings;
    auto& dialogs = system_.profileDialogs;
    std::optional<std::wstring> folder = settings.profileFolder();
    if (folder) {
        const auto question = fillIn(signingText(sgnUseRemembered, lang), {*folder});
        const bool useIt = controls_.askYesNo(why.empty() ? question : why + L"\n\n" + question);
        if (system_.loop.terminated())
            return std::nullopt;
        if (!useIt)
            folder.reset();
    } else if (!why.empty()) {
        const bool choose = controls_.askYesNo(why + L"\n\n" + signingText(sgnChooseNow, lang));
        if (!choose || system_.loop.terminated())
            return std::nullopt;
    }
    if (!folder) {
        const auto root = settings.defaultProfileRoot();
        folder = dialogs.chooseFolder(signingText(sgnChooseFolder, lang), root,
                                      widget::findProfiles(system_.files, root));
        if (!folder) {
            // The way back to "no profile".
            remember(settings, std::nullopt);
            return std::nullopt;
        }
        remember(settings, folder);
    }
    const platform::PasswordDialogTexts texts{
        signingText(sgnPasswordTitle, lang),
        fillIn(signingText(sgnPasswordIntro, lang), {*folder}),
        signingText(sgnAuthorPassword, lang),
        signingText(sgnDistributorPassword, lang),
        signingText(sgnOk, lang),
        signingText(sgnCancel, lang)};
    auto passwords = dialogs.askPasswords(texts);
    if (!passwords || system_.loop.terminated())
        return std::nullopt;
    OwnerProfile profile{widget::readProfile(system_.files, *folder), std::move(*passwords), {}};
    // Everything that needs no TV, before anything is written.
    if (const auto problem = widget::checkProfile(
            profile.files, system_.crypto, profile.passwords.author, profile.passwords.distributor,
            system_.clock.wallTime(), {}, &profile.certificates)) {
        controls_.showError(widget::profileProblemText(*problem, lang));
        return std::nullopt;
    }
    return profile;
}

namespace {

std::span<const unsigned char> bytesOf(const std::optional<std::string>& text) {
    return {reinterpret_cast<const unsigned char*>(text->data()), text->size()};
}

}  // namespace

void InstallerWindow::prepareSignedRun(const std::wstring& address, OwnerProfile& profile,
                                       const std::wstring& widgetFile,
                                       const std::function<void(int)>& advance) {
    auto& files = system_.files;
    const int lang = language();
    std::optional<std::wstring> duid;
    for (int attempt = 0; attempt < duidAttempts && !duid; ++attempt) {
        deleteIfExists(files, duidLogFile);
        runCommand(system_.processes, system_.loop, system_.clock, getDuidLine());
        if (system_.loop.terminated())
            return;
        if (const auto output = files.readFile(duidLogFile, 4096))
            duid = duidFromOutput(*output);
    }
    if (!duid) {
        throw SignedRunStop{
            fillIn(signingText(sgnNoDuid, lang), {address, std::wstring(duidLogFile)})};
    }
    // The key files opened before the run; their certificates are checked again, now with the
    // DUID, without a second import of each (signing imports them once more).
    if (const auto problem = widget::checkProfile(profile.files, profile.certificates,
                                                  system_.clock.wallTime(), duid)) {
        throw SignedRunStop{widget::profileProblemText(*problem, lang)};
    }
    advance(duidWeight);

    std::vector<unsigned char> signedPackage;
    try {
        signedPackage =
            widget::signWidget(system_.resources.find(L"WGTFILE"), system_.crypto,
                               bytesOf(profile.files.author), profile.passwords.author,
                               bytesOf(profile.files.distributor), profile.passwords.distributor);
    } catch (const std::exception& e) {
        profile.passwords = {};
        throw SignedRunStop{
            fillIn(signingText(sgnSigningFailed, lang), {platform::exceptionMessage(e)})};
    }
    profile.passwords = {};  // signing was their only use
    try {
        files.writeFile(widgetFile, signedPackage);
    } catch (const platform::WriteError& e) {
        const auto& advice =
            StringTable::instance().text(e.inUse() ? msgFileHeld : msgFileNotWritable, lang);
        throw SignedRunStop{fillIn(advice, {widgetFile}) + L"\n\n(" + e.reason() + L")"};
    }
    advance(signWeight);

    if (!profile.files.deviceProfile)
        return;
    {
        const RemovedAfterwards copy(files, deviceProfileCopy);
        try {
            files.writeFile(deviceProfileCopy, bytesOf(profile.files.deviceProfile));
        } catch (const platform::WriteError& e) {
            throw SignedRunStop{fillIn(StringTable::instance().text(msgFileNotWritable, lang),
                                       {deviceProfileCopy}) +
                                L"\n\n(" + e.reason() + L")"};
        }
        runCommand(system_.processes, system_.loop, system_.clock, pushDeviceProfileLine());
    }
    if (system_.loop.terminated())
        return;
    if (const auto log = files.readFile(profileLogFile, 64 * 1024)) {
        for (size_t start = 0; start < log->size();) {
            const size_t end = std::min(log->find('\n', start), log->size());
            const std::string line = log->substr(start, end - start);
            if (isFailureLine(line)) {
                throw SignedRunStop{fillIn(signingText(sgnProfilePushFailed, lang),
                                           {std::wstring(line.begin(), line.end())})};
            }
            start = end + 1;
        }
    }
    advance(profilePushWeight);
}

bool InstallerWindow::removeOtherAuthorsCopy() {
    const bool remove = controls_.askYesNo(signingText(sgnOtherAuthor, language()));
    if (!remove || system_.loop.terminated())
        return false;
    // The uninstall names the package's own id: the window's constant is not what is installed.
    const auto ids =
        widget::readPackageIds(widget::WidgetPackage(system_.resources.find(L"WGTFILE")));
    runCommand(system_.processes, system_.loop, system_.clock, uninstallLine(ids.applicationId));
    return !system_.loop.terminated();
}
