#include "src/tvs/found_tvs.h"

#include <algorithm>

#include "platform/text.h"
#include "src/texts/texts.h"

namespace {

std::wstring state(const FoundTv& tv, Language language) {
    const auto say = [&](TextId id) { return fillIn(text(id, language), {tv.verdict.hostIp}); };
    if (!tv.isTv)
        return say(msgFoundNotTv);
    switch (tv.verdict.readiness) {
        case TvReadiness::ready:
            return say(msgFoundReady);
        case TvReadiness::standby:
            return say(msgFoundStandby);
        case TvReadiness::developerOff:
        case TvReadiness::nothingAnswers:
            return say(msgFoundDeveloperOff);
        case TvReadiness::notActiveYet:
            return say(msgFoundNotActive);
        case TvReadiness::reversedHostIp:
            return say(msgFoundReversed);
        case TvReadiness::loopbackHostIp:
            return say(msgFoundLoopback);
        case TvReadiness::otherHostIp:
            return say(msgFoundOtherHost);
    }
    return {};
}

int rank(const FoundTv& tv) {
    if (!tv.isTv)
        return 2;
    return tv.verdict.readiness == TvReadiness::ready ? 0 : 1;
}

}  // namespace

std::vector<FoundTv> judgeFound(const platform::SweepReport& report,
                                const std::vector<std::wstring>& localAddresses) {
    std::vector<FoundTv> found;
    for (const auto& host : report.found) {
        FoundTv tv{host.address, false, judgeTv(host.answers, localAddresses)};
        // Nothing but a TV in developer mode listens on the bridge port.
        tv.isTv = tv.verdict.description.has_value() || host.answers.bridgeOpen;
        found.push_back(std::move(tv));
    }
    return found;
}

std::vector<platform::AddressChoice> addressChoices(const std::vector<FoundTv>& found,
                                                    Language language) {
    std::vector<const FoundTv*> order;
    for (const auto& tv : found)
        order.push_back(&tv);
    std::stable_sort(order.begin(), order.end(),
                     [](const FoundTv* a, const FoundTv* b) { return rank(*a) < rank(*b); });
    std::vector<platform::AddressChoice> choices;
    for (const FoundTv* tv : order) {
        std::wstring label = tv->address + L"  —  ";
        if (const auto& description = tv->verdict.description) {
            const std::string& name =
                description->name.empty() ? description->modelName : description->name;
            if (!name.empty())
                label += platform::fromUtf8(name) + L", ";
            if (const auto year = description->modelYear())
                label += std::to_wstring(*year) + L", ";
        }
        label += state(*tv, language);
        choices.push_back({tv->address, std::move(label)});
    }
    return choices;
}

const FoundTv* onlyReadyTv(const std::vector<FoundTv>& found) {
    const FoundTv* ready = nullptr;
    for (const auto& tv : found) {
        if (tv.isTv && tv.verdict.readiness == TvReadiness::ready) {
            if (ready != nullptr)
                return nullptr;
            ready = &tv;
        }
    }
    return ready;
}
