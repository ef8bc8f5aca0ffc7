#pragma once
#include <string>
#include <vector>

#include "platform/addresses.h"

// This computer's IPv4 addresses in the order the system reports them.
std::vector<std::wstring> localIpv4Addresses(platform::AddressSource& source);

// The same, or none when the system cannot tell (where a failure only costs advice).
std::vector<std::wstring> localIpv4AddressesOrNone(platform::AddressSource& source);

// The same addresses joined by nine spaces, as the window shows them.
std::wstring localAddressList(platform::AddressSource& source);
std::wstring localAddressList(const std::vector<platform::LocalAddress>& addresses);
