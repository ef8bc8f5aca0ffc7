#include "src/signing/signed_steps.h"

#include "platform/error.h"
#include "src/app/window_language.h"
#include "src/common/scope_exit.h"
#include "src/common/text_search.h"
#include "src/install/command_runner.h"
#include "src/install/install_commands.h"
#include "src/install/install_outcome.h"
#include "src/payload/payload.h"
#include "src/signing/widget_ids.h"
#include "src/signing/widget_package.h"
#include "src/signing/widget_signer.h"

namespace {

constexpr int firstSigningYear = 2023;
constexpr int duidAttempts = 2;  // slow sets may need a second ask

std::wstring withLog(const std::wstring& inner, const wchar_t* log) {
    return L"cmd.exe /c \"" + inner + L" > " + log + L" 2>&1\"";
}

std::span<const unsigned char> bytesOf(const std::optional<std::string>& text) {
    return {reinterpret_cast<const unsigned char*>(text->data()), text->size()};
}

}  // namespace

std::wstring getDuidLine() {
    return withLog(L"iu.exe shell 0 getduid", duidLogFile);
}

std::wstring pushDeviceProfileLine() {
    return withLog(std::wstring(L"iu.exe push ") + deviceProfileCopy + L" " + deviceProfileOnTv,
                   profileLogFile);
}

std::wstring uninstallLine(const std::wstring& applicationId) {
    return withLog(L"iu.exe shell 0 vd_appuninstall " + applicationId + L"; echo cmd_ret:$?;",
                   uninstallLogFile);
}

bool otherAuthorsCopy(platform::FileSystem& files) {
    const auto log = files.readFile(installLogFile, 64 * 1024);
    if (!log)
        return false;
    std::string text = *log;
    std::erase(text, ' ');
    return text.find("installfailed[118,-11]") != std::string::npos;
}

std::optional<int> yearNeedingSignature(const std::wstring& address,
                                        const std::optional<TvVerdict>& check,
                                        const std::vector<FoundTv>& found) {
    std::optional<int> year;
    if (check && check->description)
        year = check->description->modelYear();
    for (const auto& tv : found) {
        if (!year && tv.address == address && tv.verdict.description)
            year = tv.verdict.description->modelYear();
    }
    if (year && *year >= firstSigningYear)
        return year;
    return std::nullopt;
}

SignedSteps::SignedSteps(platform::FormControls& controls, platform::System& system,
                         std::wstring address, OwnerProfile& profile, std::wstring widgetFile)
    : controls_(controls),
      system_(system),
      address_(std::move(address)),
      profile_(profile),
      widgetFile_(std::move(widgetFile)) {}

int SignedSteps::progressWeight() const {
    return duidWeight + signWeight + (profile_.files.deviceProfile ? profilePushWeight : 0);
}

void SignedSteps::afterConnecting(const std::function<void(int weight)>& advance) {
    const Language language = shownLanguage(controls_);
    const auto duid = askDuid(language);
    if (!duid)
        return;  // the program is ending
    // The key files opened before the run; their certificates are checked again, now with the
    // DUID, without a second import of each (signing imports them once more).
    if (const auto problem = widget::checkProfile(profile_.files, profile_.certificates,
                                                  system_.clock.wallTime(), duid)) {
        throw RunStop{widget::profileProblemText(*problem, language)};
    }
    advance(duidWeight);
    signWidget(language);
    advance(signWeight);
    if (!profile_.files.deviceProfile)
        return;
    if (!pushDeviceProfile(language))
        return;
    advance(profilePushWeight);
}

std::optional<std::wstring> SignedSteps::askDuid(Language language) {
    auto& files = system_.files;
    std::optional<std::wstring> duid;
    for (int attempt = 0; attempt < duidAttempts && !duid; ++attempt) {
        deleteIfExists(files, duidLogFile);
        runCommand(system_.processes, system_.loop, system_.clock, getDuidLine());
        if (system_.loop.terminated())
            return std::nullopt;
        if (const auto output = files.readFile(duidLogFile, 4096))
            duid = duidFromOutput(*output);
    }
    if (!duid) {
        throw RunStop{fillIn(text(msgNoDuid, language), {address_, std::wstring(duidLogFile)})};
    }
    return duid;
}

void SignedSteps::signWidget(Language language) {
    std::vector<unsigned char> signedPackage;
    try {
        signedPackage =
            widget::signWidget(system_.resources.find(L"WGTFILE"), system_.crypto,
                               bytesOf(profile_.files.author), profile_.passwords.author,
                               bytesOf(profile_.files.distributor), profile_.passwords.distributor);
    } catch (const std::exception& e) {
        profile_.passwords = {};
        throw RunStop{fillIn(text(msgSigningFailed, language), {platform::exceptionMessage(e)})};
    }
    profile_.passwords = {};  // signing was their only use
    try {
        system_.files.writeFile(widgetFile_, signedPackage);
    } catch (const platform::WriteError& e) {
        const auto& advice = text(e.inUse() ? msgFileHeld : msgFileNotWritable, language);
        throw RunStop{fillIn(advice, {widgetFile_}) + L"\n\n(" + e.reason() + L")"};
    }
}

bool SignedSteps::pushDeviceProfile(Language language) {
    auto& files = system_.files;
    {
        const OnScopeExit removeCopy([&files] { deleteIfExists(files, deviceProfileCopy); });
        try {
            files.writeFile(deviceProfileCopy, bytesOf(profile_.files.deviceProfile));
        } catch (const platform::WriteError& e) {
            throw RunStop{fillIn(text(msgFileNotWritable, language), {deviceProfileCopy}) +
                          L"\n\n(" + e.reason() + L")"};
        }
        runCommand(system_.processes, system_.loop, system_.clock, pushDeviceProfileLine());
    }
    if (system_.loop.terminated())
        return false;
    if (const auto log = files.readFile(profileLogFile, 64 * 1024)) {
        forEachLine(*log, [&](std::string_view line) {
            if (isFailureLine(line)) {
                throw RunStop{fillIn(text(msgProfilePushFailed, language),
                                     {std::wstring(line.begin(), line.end())})};
            }
            return true;
        });
    }
    return true;
}

bool SignedSteps::installAgain() {
    if (!otherAuthorsCopy(system_.files))
        return false;
    const bool remove = controls_.askYesNo(text(msgOtherAuthor, shownLanguage(controls_)));
    if (!remove || system_.loop.terminated())
        return false;
    // The uninstall names the package's own id: the commands' fixed id is not what is installed.
    const auto ids =
        widget::readPackageIds(widget::WidgetPackage(system_.resources.find(L"WGTFILE")));
    runCommand(system_.processes, system_.loop, system_.clock, uninstallLine(ids.applicationId));
    return !system_.loop.terminated();
}
