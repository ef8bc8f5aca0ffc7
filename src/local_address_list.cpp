#include "src/local_address_list.h"

std::wstring localAddressList(platform::AddressSource& source) {
    static constexpr std::wstring_view separator = L"         ";  // nine spaces
    const auto addresses = source.localAddresses();
    std::wstring result;
    int appended = 0;
    for (const auto& address : addresses) {
        if (address.version != platform::IpVersion::v4)
            continue;
        if (appended > 0)
            result += separator;
        result += address.text;
        ++appended;
    }
    return result;
}
