#include "src/tvs/sweep_targets.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>

namespace {

std::optional<std::uint32_t> parsed(const std::wstring& text) {
    std::uint32_t value = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        std::uint32_t part = 0;
        size_t digits = 0;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9' && digits < 3) {
            part = part * 10 + static_cast<std::uint32_t>(text[i] - L'0');
            ++i;
            ++digits;
        }
        if (digits == 0 || part > 255)
            return std::nullopt;
        value = (value << 8) | part;
        if (++parts < 4) {
            if (i >= text.size() || text[i] != L'.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != text.size())
        return std::nullopt;
    return value;
}

std::wstring dotted(std::uint32_t address) {
    return std::to_wstring(address >> 24) + L"." + std::to_wstring((address >> 16) & 0xFF) + L"." +
           std::to_wstring((address >> 8) & 0xFF) + L"." + std::to_wstring(address & 0xFF);
}

bool within(std::uint32_t address, std::uint32_t network, int prefix) {
    const std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix);
    return (address & mask) == network;
}

bool privateOrLinkLocal(std::uint32_t address) {
    return within(address, 0x0A000000, 8) ||   // 10/8
           within(address, 0xAC100000, 12) ||  // 172.16/12
           within(address, 0xC0A80000, 16) ||  // 192.168/16
           within(address, 0xA9FE0000, 16);    // 169.254/16
}

}  // namespace

std::vector<platform::SearchNetwork> searchNetworks(
    const std::vector<platform::LocalAddress>& local) {
    std::set<std::uint32_t> own;
    for (const auto& address : local) {
        if (address.version == platform::IpVersion::v4) {
            if (const auto value = parsed(address.text))
                own.insert(*value);
        }
    }
    std::vector<platform::SearchNetwork> networks;
    std::set<std::uint32_t> seen;
    int adapters = 0;
    for (const auto& address : local) {
        if (address.version != platform::IpVersion::v4 || adapters == sweepMostAdapters)
            continue;
        const auto value = parsed(address.text);
        if (!value || !privateOrLinkLocal(*value))
            continue;
        ++adapters;
        // An unknown prefix counts as a /24; a wider network is cut to the /24 around us.
        const int given = address.prefixLength;
        const int prefix = given < 0 || given > 32 ? 24 : std::max(given, 24);
        if (prefix == 32)
            continue;
        const std::uint32_t mask = ~std::uint32_t{0} << (32 - prefix);
        const std::uint32_t first = *value & mask;
        const std::uint32_t last = first | ~mask;
        // A /31 has two hosts and no network or broadcast address.
        const std::uint32_t from = prefix == 31 ? first : first + 1;
        const std::uint32_t to = prefix == 31 ? last : last - 1;
        platform::SearchNetwork network{dotted(*value), {}};
        for (std::uint32_t host = from; host <= to; ++host) {
            if (!own.contains(host) && seen.insert(host).second)
                network.hosts.push_back(dotted(host));
        }
        if (!network.hosts.empty())
            networks.push_back(std::move(network));
    }
    return networks;
}

std::vector<std::wstring> sweepTargets(const std::vector<platform::LocalAddress>& local) {
    std::vector<std::wstring> targets;
    for (auto& network : searchNetworks(local))
        targets.insert(targets.end(), network.hosts.begin(), network.hosts.end());
    return targets;
}
