#include "src/signing/signed_run.h"

#include <cwctype>

#include "src/install/install_commands.h"
#include "src/signing/owner_profile.h"
#include "src/texts/signing_texts.h"
#include "src/texts/string_table.h"

namespace {

std::wstring withLog(const std::wstring& inner, const wchar_t* log) {
    return L"cmd.exe /c \"" + inner + L" > " + log + L" 2>&1\"";
}

std::wstring lowered(std::wstring text) {
    for (auto& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The code at the end of "Check certificate error : :<text>:<-3>".
std::optional<int> certificateCode(const std::wstring& line) {
    const auto lower = lowered(line);
    const auto at = lower.find(L"check certificate error");
    if (at == std::wstring::npos)
        return std::nullopt;
    const auto open = lower.rfind(L"<-");
    const auto close = open == std::wstring::npos ? open : lower.find(L'>', open);
    if (open < at || close == std::wstring::npos)
        return std::nullopt;
    const auto digits = lower.substr(open + 2, close - open - 2);
    if (digits.size() != 1 || !std::iswdigit(digits[0]))
        return std::nullopt;
    return -(digits[0] - L'0');
}

}  // namespace

int signedRunWeight(const OwnerProfile& profile) {
    return duidWeight + signWeight + (profile.files.deviceProfile ? profilePushWeight : 0);
}

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

bool refusedAsUnsigned(const std::wstring& tellingLine) {
    return certificateCode(tellingLine) == -3;
}

std::optional<std::wstring> certificateRefusalCause(const std::wstring& tellingLine,
                                                    const std::wstring& profileFolder,
                                                    int language) {
    const auto code = certificateCode(tellingLine);
    if (!code)
        return std::nullopt;
    const bool signedRun = !profileFolder.empty();
    switch (*code) {
        case -3:
            if (!signedRun)
                return std::nullopt;
            return fillIn(signingText(sgnCauseNotForThisTv, language), {profileFolder});
        case -4:
            return signingText(sgnCauseSignatureMismatch, language);
        case -5:
            return signingText(sgnCauseUnsignedFile, language);
        case -6:
            return StringTable::instance().text(msgCauseCertificateExpired, language);
        case -7:
            if (!signedRun)
                return std::nullopt;
            return signingText(sgnCauseNotYetValid, language);
        default:
            return std::nullopt;
    }
}
