#pragma once
#include <string>

#include "platform/addresses.h"

// This computer's IPv4 addresses in the order the system reports them, joined by nine spaces.
std::wstring localAddressList(platform::AddressSource& source);
