#include "platform/win32/addresses_win32.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on

#include <vector>

#include "platform/error.h"
#include "platform/win32/system_library.h"

namespace platform::win32 {
namespace {

std::wstring addressText(const SOCKET_ADDRESS& address) {
    wchar_t buffer[INET6_ADDRSTRLEN] = {};
    const auto* sa = address.lpSockaddr;
    const void* raw =
        sa->sa_family == AF_INET
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(sa)->sin_addr)
            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr);
    if (InetNtopW(sa->sa_family, raw, buffer, INET6_ADDRSTRLEN) == nullptr)
        return {};
    return buffer;
}

}  // namespace

AdapterAddresses::AdapterAddresses() = default;
AdapterAddresses::~AdapterAddresses() = default;

std::vector<LocalAddress> AdapterAddresses::localAddresses() {
    // Loaded from the system directory at first use: IPHLPAPI is not a KnownDLL.
    if (!library_)
        library_ = std::make_unique<SystemLibrary>(L"iphlpapi.dll");
    const auto getAdaptersAddresses =
        library_->function<decltype(&GetAdaptersAddresses)>("GetAdaptersAddresses");
    constexpr ULONG flags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The adapter list can grow between the size query and the fetch; retry a few times.
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        rc = getAdaptersAddresses(AF_UNSPEC, flags, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (rc == ERROR_NO_DATA)
        return {};
    if (rc != NO_ERROR) {
        throw Error(L"The list of this computer's network addresses is not available (error " +
                    std::to_wstring(rc) + L").");
    }
    std::vector<LocalAddress> result;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
            continue;
        }
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const int family = unicast->Address.lpSockaddr->sa_family;
            if (family != AF_INET && family != AF_INET6)
                continue;
            std::wstring text = addressText(unicast->Address);
            if (text.empty())
                continue;
            result.push_back({family == AF_INET ? IpVersion::v4 : IpVersion::v6, std::move(text),
                              static_cast<int>(unicast->OnLinkPrefixLength)});
        }
    }
    return result;
}

}  // namespace platform::win32
