// A stand-in "iphlpapi.dll" planted beside a program, as one dropped into a Downloads folder
// would be. It leaves a trace next to itself when it is loaded; its one export keeps a program
// that imports it statically starting, so the control in the test can see the trace.
#include <windows.h>

#include <string>

namespace {

void leaveTrace(HINSTANCE self) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring trace(path, length);
    trace = trace.substr(0, trace.find_last_of(L"\\/") + 1) + L"planted-iphlpapi-ran.txt";
    const HANDLE file =
        CreateFileW(trace.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        leaveTrace(self);
    return TRUE;
}

extern "C" __declspec(dllexport) ULONG WINAPI
    GetAdaptersAddresses(ULONG, ULONG, void*, void*, ULONG*) {
    return ERROR_NO_DATA;
}
