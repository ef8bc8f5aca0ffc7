#include "src/tvs/tv_verdict.h"

#include <algorithm>

#include "platform/text.h"

std::wstring reversedAddress(const std::wstring& address) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t dot = address.find(L'.', start);
        parts.push_back(address.substr(start, dot - start));
        if (dot == std::wstring::npos)
            break;
        start = dot + 1;
    }
    std::wstring reversed;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        if (!reversed.empty())
            reversed += L'.';
        reversed += *part;
    }
    return reversed;
}

std::optional<int> seriesForYear(std::optional<int> modelYear) {
    if (!modelYear || *modelYear < 2015)
        return std::nullopt;  // sets before 2015 have no bridge at all
    return *modelYear <= 2016 ? 0 : 1;
}

TvVerdict judgeTv(const platform::TvAnswers& answers,
                  const std::vector<std::wstring>& localAddresses) {
    TvVerdict verdict;
    if (answers.description) {
        auto description = parseTvDescription(*answers.description);
        if (description && description->isSamsungTv())
            verdict.description = std::move(description);
    }
    const auto isLocal = [&](const std::wstring& address) {
        return std::find(localAddresses.begin(), localAddresses.end(), address) !=
               localAddresses.end();
    };
    const TvDescription* tv = verdict.description ? &*verdict.description : nullptr;
    // developerIP can keep an old address while the mode is "0": the mode is read first.
    const bool developerOn = tv != nullptr && tv->developerMode == "1";
    if (developerOn && tv->developerIp != "0.0.0.0")
        verdict.hostIp = platform::fromUtf8(tv->developerIp);

    // A TV in standby answers on 8001 but lets nothing in: waking it comes first.
    if (tv != nullptr && tv->powerState == "standby" && !answers.bridgeOpen) {
        verdict.readiness = TvReadiness::standby;
        return verdict;
    }
    if (developerOn && !verdict.hostIp.empty() && !isLocal(verdict.hostIp)) {
        // Whatever the bridge port does, the TV lets in only the address it holds.
        for (const auto& local : localAddresses) {
            if (reversedAddress(local) == verdict.hostIp) {
                verdict.readiness = TvReadiness::reversedHostIp;
                verdict.reversedOf = local;
                return verdict;
            }
        }
        verdict.readiness =
            verdict.hostIp == L"127.0.0.1" ? TvReadiness::loopbackHostIp : TvReadiness::otherHostIp;
        return verdict;
    }
    if (answers.bridgeOpen) {
        verdict.readiness = TvReadiness::ready;
        return verdict;
    }
    if (tv == nullptr) {
        verdict.readiness = TvReadiness::nothingAnswers;
    } else if (developerOn) {
        verdict.readiness = TvReadiness::notActiveYet;
    } else {
        verdict.readiness = TvReadiness::developerOff;
    }
    return verdict;
}
