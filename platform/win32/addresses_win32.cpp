#include "platform/win32/addresses_win32.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on

#include <algorithm>
#include <memory>
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

SystemLibrary& AdapterAddresses::library() {
    // Loaded from the system directory at first use: IPHLPAPI is not a KnownDLL.
    if (!library_)
        library_ = std::make_unique<SystemLibrary>(L"iphlpapi.dll");
    return *library_;
}

std::vector<LocalAddress> AdapterAddresses::localAddresses() {
    const auto getAdaptersAddresses =
        library().function<decltype(&GetAdaptersAddresses)>("GetAdaptersAddresses");
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

std::vector<std::wstring> AdapterAddresses::neighbours() {
    const auto getIpNetTable2 = library().function<decltype(&GetIpNetTable2)>("GetIpNetTable2");
    const auto freeMibTable = library().function<decltype(&FreeMibTable)>("FreeMibTable");
    MIB_IPNET_TABLE2* table = nullptr;
    const NETIO_STATUS rc = getIpNetTable2(AF_INET, &table);
    if (rc == ERROR_NOT_FOUND)
        return {};
    if (rc != NO_ERROR || table == nullptr) {
        throw Error(L"The list of this computer's neighbours is not available (error " +
                    std::to_wstring(rc) + L").");
    }
    const std::unique_ptr<MIB_IPNET_TABLE2, decltype(freeMibTable)> owner(table, freeMibTable);
    std::vector<std::wstring> result;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPNET_ROW2& row = table->Table[i];
        // Incomplete and unreachable entries name no host that is there.
        switch (row.State) {
            case NlnsReachable:
            case NlnsStale:
            case NlnsDelay:
            case NlnsProbe:
            case NlnsPermanent:
                break;
            default:
                continue;
        }
        const ULONG length = std::min<ULONG>(row.PhysicalAddressLength, IF_MAX_PHYS_ADDRESS_LENGTH);
        const bool hardware = std::any_of(row.PhysicalAddress, row.PhysicalAddress + length,
                                          [](UCHAR b) { return b != 0; });
        if (row.Address.si_family != AF_INET || !hardware)
            continue;
        wchar_t text[INET_ADDRSTRLEN] = {};
        if (InetNtopW(AF_INET, &row.Address.Ipv4.sin_addr, text, INET_ADDRSTRLEN) != nullptr)
            result.emplace_back(text);
    }
    return result;
}

}  // namespace platform::win32
