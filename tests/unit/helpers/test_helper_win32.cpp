// A console program the Windows platform tests start. It proves it ran by the files it writes.
//   sleep <ms> <file>   sleeps, then writes <file> (the child's end, seen from outside)
//   cmdline <file>      writes its command line as it received it, in UTF-8
//   anything else       writes quorvex-helper-ran.txt into the current directory (a copy of
//                       this program planted as cmd.exe leaves that trace)
#include <windows.h>

#include <string>

#include "platform/text.h"

namespace {

void writeText(const wchar_t* name, const std::string& text) {
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"sleep" && argc == 4) {
        Sleep(static_cast<DWORD>(std::stoul(argv[2])));
        writeText(argv[3], "ended");
        return 0;
    }
    if (mode == L"cmdline" && argc == 3) {
        writeText(argv[2], platform::toUtf8(GetCommandLineW()));
        return 0;
    }
    writeText(L"quorvex-helper-ran.txt", platform::toUtf8(GetCommandLineW()));
    return 3;
}
