// The control for the planted-DLL scenario: a program that imports iphlpapi.dll statically, as
// the installer once did. Beside the planted copy it loads that copy.
// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
// clang-format on

int wmain() {
    ULONG size = 0;
    return GetAdaptersAddresses(AF_UNSPEC, 0, nullptr, nullptr, &size) == ERROR_NO_DATA ? 0 : 1;
}
