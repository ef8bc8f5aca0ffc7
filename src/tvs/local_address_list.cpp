#include "src/tvs/local_address_list.h"

namespace {

std::vector<std::wstring> ipv4Of(const std::vector<platform::LocalAddress>& addresses) {
    std::vector<std::wstring> result;
    for (const auto& address : addresses) {
        if (address.version == platform::IpVersion::v4)
            result.push_back(address.text);
    }
    return result;
}

}  // namespace

std::vector<std::wstring> localIpv4Addresses(platform::AddressSource& source) {
    return ipv4Of(source.localAddresses());
}

std::vector<std::wstring> localIpv4AddressesOrNone(platform::AddressSource& source) {
    try {
        return localIpv4Addresses(source);
    } catch (const std::exception&) {
        return {};
    }
}

std::wstring localAddressList(platform::AddressSource& source) {
    return localAddressList(source.localAddresses());
}

std::wstring localAddressList(const std::vector<platform::LocalAddress>& addresses) {
    static constexpr std::wstring_view separator = L"         ";  // nine spaces
    std::wstring result;
    for (const auto& address : ipv4Of(addresses)) {
        if (!result.empty())
            result += separator;
        result += address;
    }
    return result;
}
