#pragma once
// A driver starts the installer, and the installer searches the networks of this computer's
// adapters and checks the TV it installs to. So a driver starts it only when every adapter
// address is one a test made: the test LAN (tests/lan/lan.sh, 10.213.0.0/24) or IPv6 link-local.
// Outside a namespace of the test's own, a real adapter's address shows, and the driver refuses.
#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/win32/addresses_win32.h"

namespace test_lan {

// The first adapter address that no test made, or nothing when there is none. Under load Wine's
// listing fails now and then; it is tried a few times before the driver refuses for it.
inline std::optional<std::wstring> foreignAddress() {
    for (int attempt = 1;; ++attempt) {
        try {
            platform::win32::AdapterAddresses source;
            for (const auto& address : source.localAddresses()) {
                const bool ours = address.version == platform::IpVersion::v4
                                      ? address.text.starts_with(L"10.213.0.")
                                      : address.text.starts_with(L"fe80:");
                if (!ours)
                    return address.text;
            }
            return std::nullopt;
        } catch (const platform::Error&) {
            if (attempt == 5)
                return L"(the adapters could not be listed)";
            ::Sleep(200);
        }
    }
}

// Why the driver must not start the installer here, or nothing when it may.
inline std::optional<std::wstring> refusal() {
    const auto foreign = foreignAddress();
    if (!foreign)
        return std::nullopt;
    return L"refusing to start the installer: this computer has the address " + *foreign +
           L", which no test made; run under tests/isolated.sh (unshare --net)";
}

}  // namespace test_lan
