#include "src/tvs/found_tvs.h"

#include <algorithm>
#include <cstdint>

#include "platform/text.h"
#include "src/texts/texts.h"

namespace {

std::wstring state(const FoundTv& tv, Language language) {
    const auto say = [&](TextId id) { return fillIn(text(id, language), {tv.verdict.hostIp}); };
    if (!tv.answering)
        return say(msgFoundSilent);
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
    return tv.verdict.readiness == TvReadiness::ready && tv.answering ? 0 : 1;
}

// The address as a number, for the list's order; the unparsable last.
std::uint64_t numeric(const std::wstring& address) {
    std::uint64_t value = 0;
    int parts = 0;
    std::uint64_t part = 0;
    for (wchar_t c : address) {
        if (c == L'.') {
            value = value * 256 + part;
            part = 0;
            ++parts;
        } else if (c >= L'0' && c <= L'9' && part < 256) {
            part = part * 10 + static_cast<std::uint64_t>(c - L'0');
        } else {
            return UINT64_MAX;
        }
    }
    return parts == 3 ? value * 256 + part : UINT64_MAX;
}

}  // namespace

FoundTv judgeFound(const platform::FoundHost& host,
                   const std::vector<std::wstring>& localAddresses) {
    FoundTv tv{host.address, false, judgeTv(host.answers, localAddresses)};
    // Nothing but a TV in developer mode listens on the bridge port.
    tv.isTv = tv.verdict.description.has_value() || host.answers.bridgeOpen;
    tv.answering =
        host.answers.bridgeOpen || host.descriptionPortOpen || host.answers.description.has_value();
    return tv;
}

bool mergeFound(std::vector<FoundTv>& list, FoundTv heard) {
    const auto place = std::find_if(list.begin(), list.end(), [&](const FoundTv& tv) {
        return numeric(tv.address) >= numeric(heard.address);
    });
    if (place == list.end() || place->address != heard.address) {
        if (!heard.answering)
            return false;
        list.insert(place, std::move(heard));
        return true;
    }
    FoundTv& listed = *place;
    if (!heard.answering) {
        const bool changed = listed.answering;
        listed.answering = false;
        return changed;
    }
    // Once a TV, a TV: a description that did not come this time is the one it gave before.
    heard.isTv = heard.isTv || listed.isTv;
    if (!heard.verdict.description && listed.verdict.description)
        heard.verdict.description = listed.verdict.description;
    if (heard == listed)
        return false;
    listed = std::move(heard);
    return true;
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
        if (tv.isTv && tv.answering && tv.verdict.readiness == TvReadiness::ready) {
            if (ready != nullptr)
                return nullptr;
            ready = &tv;
        }
    }
    return ready;
}
