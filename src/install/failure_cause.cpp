#include "src/install/failure_cause.h"

#include "src/common/text_search.h"
#include "src/install/install_commands.h"

namespace {

std::wstring joined(const std::vector<std::wstring>& addresses, Language language) {
    if (addresses.empty())
        return text(msgNoAddresses, language);
    std::wstring list;
    for (const auto& address : addresses)
        list += (list.empty() ? L"" : L", ") + address;
    return list;
}

// The install's error code and its detail: "install failed[118, -12]" gives 118 and -12; a
// missing detail is 0. Nothing when the line holds no such code.
std::optional<std::pair<int, int>> installError(const std::wstring& line) {
    const auto at = line.find(L"install failed[");
    if (at == std::wstring::npos)
        return std::nullopt;
    std::wstring inside = line.substr(at + 15, line.find(L']', at) - at - 15);
    std::erase(inside, L' ');
    try {
        const auto comma = inside.find(L',');
        const int code = std::stoi(inside.substr(0, comma));
        const int detail = comma == std::wstring::npos ? 0 : std::stoi(inside.substr(comma + 1));
        return std::pair{code, detail};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<int> modelYear(const FailureContext& context) {
    if (context.check == nullptr || !context.check->description)
        return std::nullopt;
    return context.check->description->modelYear();
}

}  // namespace

std::wstring seriesName(int series) {
    return series == 0 ? L"J,K" : L"M,N,Q,R,T";
}

std::optional<std::wstring> verdictText(const TvVerdict& verdict, const std::wstring& address,
                                        const std::vector<std::wstring>& localAddresses,
                                        Language language) {
    const auto say = [&](TextId id, std::initializer_list<std::wstring_view> values) {
        return fillIn(text(id, language), values);
    };
    const std::wstring local = joined(localAddresses, language);
    switch (verdict.readiness) {
        case TvReadiness::ready:
            return std::nullopt;
        case TvReadiness::standby:
            return say(msgVerdictStandby, {address});
        case TvReadiness::developerOff:
            return say(msgVerdictDeveloperOff, {address});
        case TvReadiness::notActiveYet:
            return say(msgVerdictNotActive, {address});
        case TvReadiness::reversedHostIp:
            return say(msgVerdictReversed, {address, verdict.hostIp, verdict.reversedOf});
        case TvReadiness::loopbackHostIp:
            return say(msgVerdictLoopback, {address, local});
        case TvReadiness::otherHostIp:
            return say(msgVerdictOtherHost, {address, verdict.hostIp, local});
        case TvReadiness::nothingAnswers:
            return say(msgVerdictNothing, {address});
    }
    return std::nullopt;
}

std::optional<std::wstring> failureCause(const std::wstring& tellingLine,
                                         const FailureContext& context) {
    const Language language = context.language;
    const auto say = [&](TextId id, std::initializer_list<std::wstring_view> values = {}) {
        return fillIn(text(id, language), values);
    };
    const std::wstring line = lowered(tellingLine);
    const auto year = modelYear(context);

    // The tool could not start its server: the path of its exe, as a program that is not
    // Unicode gets it, names no file.
    if (contains(line, L"fail to create sdb server process") ||
        contains(line, L"failed to start server")) {
        return say(msgCauseServerNotStarted);
    }
    // cmd.exe found no iu.exe, or may not run it: removed or blocked after it was written.
    if (contains(line, L"as an internal or external command") ||
        contains(line, L"не является внутренней или внешней командой") ||
        contains(line, L"access is denied") || contains(line, L"тказано в доступе")) {
        return say(msgCauseToolBlocked, {context.toolFolder});
    }
    if (contains(line, L"failed to connect to")) {
        if (context.check != nullptr) {
            if (auto why = verdictText(*context.check, context.address, context.localAddresses,
                                       language)) {
                return why;
            }
        }
        return say(msgCauseNoConnection, {context.address});
    }
    if (contains(line, L"more than one target"))
        return say(msgCauseTwoTargets);
    if (line == L"closed" || line == L"error: closed" || contains(line, L"target offline") ||
        contains(line, L"target not found") ||
        contains(line, L"connection to the target was lost") ||
        contains(line, L"connection fails")) {
        return say(msgCauseDropped, {context.address});
    }
    // The TV had no room to store the package: no series and no second try changes that.
    if (contains(line, L"download failed[116"))
        return say(msgCauseNoRoom);
    // A privilege the widget declares needs a partner-level certificate; 2025 sets name it.
    if (contains(line, L"mismatched_privilege_level"))
        return say(msgCausePartnerPrivilege);
    // A push the TV refused went to the other series' staging directory. "failed to close"
    // itself says nothing: the words after it do (a dropped link, a name too long, ...).
    if (contains(line, L"permission denied") || contains(line, L"cannot push")) {
        if (const auto series = seriesForYear(year)) {
            return say(msgCauseWrongSeriesYear, {std::to_wstring(*year), seriesName(*series)});
        }
        return say(msgCauseWrongSeries);
    }
    // Older firmware names the refusal in a progress line before "install failed[PKGMGR_ERROR]".
    if (contains(line, L"signature_verification_failed"))
        return say(msgCauseCertificate);
    if (contains(line, L"certificate_expired"))
        return say(msgCauseCertificateExpired);
    if (const auto error = installError(line); error && error->first == 118) {
        switch (error->second) {
            case -12:
            case -2:
            case -7:
                if (contains(line, L"<-7>") || error->second == -7)
                    return say(msgCauseClock);
                if (year && *year >= 2023)
                    return say(msgCauseCertificateNew, {std::to_wstring(*year)});
                return say(msgCauseCertificate);
            case -11:
                return say(msgCauseAuthor);
            case -4:
                return say(msgCauseTizenTooOld);
            case -14:
                // Older sets' words for the privilege level; a bare -14 says nothing certain.
                if (contains(line, L"signature error"))
                    return say(msgCausePartnerPrivilege);
                return std::nullopt;
            case 0:
                return say(msgCauseNotPermitted);
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

namespace {

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
    if (digits.size() != 1 || digits[0] < L'0' || digits[0] > L'9')
        return std::nullopt;
    return -(digits[0] - L'0');
}

}  // namespace

bool refusedAsUnsigned(const std::wstring& tellingLine) {
    return certificateCode(tellingLine) == -3;
}

std::optional<std::wstring> certificateRefusalCause(const std::wstring& tellingLine,
                                                    const std::wstring& profileFolder,
                                                    Language language) {
    const auto code = certificateCode(tellingLine);
    if (!code)
        return std::nullopt;
    const bool signedRun = !profileFolder.empty();
    switch (*code) {
        case -3:
            if (!signedRun)
                return std::nullopt;
            return fillIn(text(msgCauseNotForThisTv, language), {profileFolder});
        case -4:
            return text(msgCauseSignatureMismatch, language);
        case -5:
            return text(msgCauseUnsignedFile, language);
        case -6:
            return text(msgCauseCertificateExpired, language);
        case -7:
            if (!signedRun)
                return std::nullopt;
            return text(msgCauseNotYetValid, language);
        default:
            return std::nullopt;
    }
}

std::wstring failureReport(const InstallOutcome& outcome, const FailureContext& context) {
    const Language language = context.language;
    // The cause and what to do first; without one, the failure text.
    std::optional<std::wstring> cause;
    if (!outcome.reason.empty()) {
        cause = certificateRefusalCause(outcome.reason, context.profileFolder, language);
        if (!cause)
            cause = failureCause(outcome.reason, context);
    }
    std::wstring report = cause ? *cause : text(msgInstallFailed, language);
    if (!outcome.reason.empty())
        report += L"\n\n" + outcome.reason + L"\n(" + outcome.logFile + L")";
    static constexpr TextId problems[] = {msgLogMissing, msgLogEmpty, msgLogUnrecognised};
    if (outcome.installLog != InstallLogProblem::none) {
        const auto problem = problems[static_cast<int>(outcome.installLog) - 1];
        report += L"\n\n" + fillIn(text(problem, language), {installLogFile});
    }
    return report;
}
