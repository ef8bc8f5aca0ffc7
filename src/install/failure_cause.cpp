#include "src/install/failure_cause.h"

#include <cwctype>

#include "src/texts/string_table.h"

namespace {

std::wstring lowered(std::wstring text) {
    for (auto& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool contains(const std::wstring& text, const wchar_t* part) {
    return text.find(part) != std::wstring::npos;
}

std::wstring joined(const std::vector<std::wstring>& addresses, int language) {
    if (addresses.empty())
        return StringTable::instance().text(msgNoAddresses, language);
    std::wstring text;
    for (const auto& address : addresses)
        text += (text.empty() ? L"" : L", ") + address;
    return text;
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
                                        int language) {
    const auto& table = StringTable::instance();
    const auto text = [&](MessageId id, std::initializer_list<std::wstring_view> values) {
        return fillIn(table.text(id, language), values);
    };
    const std::wstring local = joined(localAddresses, language);
    switch (verdict.readiness) {
        case TvReadiness::ready:
            return std::nullopt;
        case TvReadiness::standby:
            return text(msgVerdictStandby, {address});
        case TvReadiness::developerOff:
            return text(msgVerdictDeveloperOff, {address});
        case TvReadiness::notActiveYet:
            return text(msgVerdictNotActive, {address});
        case TvReadiness::reversedHostIp:
            return text(msgVerdictReversed, {address, verdict.hostIp, verdict.reversedOf});
        case TvReadiness::loopbackHostIp:
            return text(msgVerdictLoopback, {address, local});
        case TvReadiness::otherHostIp:
            return text(msgVerdictOtherHost, {address, verdict.hostIp, local});
        case TvReadiness::nothingAnswers:
            return text(msgVerdictNothing, {address});
    }
    return std::nullopt;
}

std::optional<std::wstring> failureCause(const std::wstring& tellingLine,
                                         const FailureContext& context) {
    const auto& table = StringTable::instance();
    const int language = context.language;
    const auto text = [&](MessageId id, std::initializer_list<std::wstring_view> values = {}) {
        return fillIn(table.text(id, language), values);
    };
    const std::wstring line = lowered(tellingLine);
    const auto year = modelYear(context);

    // The tool could not start its server: the path of its exe, as a program that is not
    // Unicode gets it, names no file.
    if (contains(line, L"fail to create sdb server process") ||
        contains(line, L"failed to start server")) {
        return text(msgCauseServerNotStarted);
    }
    // cmd.exe found no iu.exe, or may not run it: removed or blocked after it was written.
    if (contains(line, L"as an internal or external command") ||
        contains(line, L"не является внутренней или внешней командой") ||
        contains(line, L"access is denied") || contains(line, L"тказано в доступе")) {
        return text(msgCauseToolBlocked, {context.toolFolder});
    }
    if (contains(line, L"failed to connect to")) {
        if (context.check != nullptr) {
            if (auto why = verdictText(*context.check, context.address, context.localAddresses,
                                       language)) {
                return why;
            }
        }
        return text(msgCauseNoConnection, {context.address});
    }
    if (contains(line, L"more than one target"))
        return text(msgCauseTwoTargets);
    if (line == L"closed" || line == L"error: closed" || contains(line, L"target offline") ||
        contains(line, L"target not found") ||
        contains(line, L"connection to the target was lost") ||
        contains(line, L"connection fails")) {
        return text(msgCauseDropped, {context.address});
    }
    // A push the TV refused went to the other series' staging directory. "failed to close"
    // itself says nothing: the words after it do (a dropped link, a name too long, ...).
    if (contains(line, L"permission denied") || contains(line, L"cannot push")) {
        if (const auto series = seriesForYear(year)) {
            return text(msgCauseWrongSeriesYear, {std::to_wstring(*year), seriesName(*series)});
        }
        return text(msgCauseWrongSeries);
    }
    // Older firmware names the refusal in a progress line before "install failed[PKGMGR_ERROR]".
    if (contains(line, L"signature_verification_failed"))
        return text(msgCauseCertificate);
    if (contains(line, L"certificate_expired"))
        return text(msgCauseCertificateExpired);
    if (const auto error = installError(line); error && error->first == 118) {
        switch (error->second) {
            case -12:
            case -2:
            case -7:
                if (contains(line, L"<-7>") || error->second == -7)
                    return text(msgCauseClock);
                if (year && *year >= 2023)
                    return text(msgCauseCertificateNew, {std::to_wstring(*year)});
                return text(msgCauseCertificate);
            case -11:
                return text(msgCauseAuthor);
            case -4:
                return text(msgCauseTizenTooOld);
            case 0:
                return text(msgCauseNotPermitted);
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}
