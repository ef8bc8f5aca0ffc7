#include "src/local_address_list.h"

std::vector<std::wstring> localIpv4Addresses(platform::AddressSource& source) {
    std::vector<std::wstring> result;
    for (auto& address : source.localAddresses()) {
        if (address.version == platform::IpVersion::v4)
            result.push_back(std::move(address.text));
    }
    return result;
}

std::vector<std::wstring> localIpv4AddressesOrNone(platform::AddressSource& source) {
    try {
        return localIpv4Addresses(source);
    } catch (const std::exception&) {
        return {};
    }
}

std::wstring localAddressList(platform::AddressSource& source) {
    static constexpr std::wstring_view separator = L"         ";  // nine spaces
    std::wstring result;
    for (const auto& address : localIpv4Addresses(source)) {
        if (!result.empty())
            result += separator;
        result += address;
    }
    return result;
}
