// A console program the Windows platform tests start. It proves it ran by the files it writes.
//   sleep <ms> <file>   sleeps, then writes <file> (the child's end, seen from outside)
//   await <go> <ms> <file>
//                       waits until the file <go> exists (at most <ms>), then writes <file>: a
//                       child that ends only once the test lets it
//   startup <file>      writes how its starter asked its windows to show: "show <n>" with
//                       the SW_ value, or "default <n>" when no value was given
//   cmdline <file> ...  writes its command line as it received it, in UTF-8
//   dll open|restrict <name> <file>
//                       loads the DLL by name, first restricting the search when asked, and
//                       writes "loaded" or "refused"
//   anything else       writes quorvex-helper-ran.txt into the current directory (a copy of
//                       this program planted as cmd.exe leaves that trace)
#include <windows.h>

#include <string>

#include "platform/text.h"
#include "platform/win32/process_win32.h"

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
    if (mode == L"await" && argc == 5) {
        const ULONGLONG until = GetTickCount64() + std::stoul(argv[3]);
        while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < until)
            Sleep(10);
        writeText(argv[4], "ended");
        return 0;
    }
    if (mode == L"startup" && argc == 3) {
        STARTUPINFOW si{};
        GetStartupInfoW(&si);
        const bool flag = (si.dwFlags & STARTF_USESHOWWINDOW) != 0;
        writeText(argv[2], (flag ? "show " : "default ") + std::to_string(si.wShowWindow));
        return 0;
    }
    if (mode == L"cmdline" && argc >= 3) {
        writeText(argv[2], platform::toUtf8(GetCommandLineW()));
        return 0;
    }
    if (mode == L"dll" && argc == 5) {
        if (std::wstring(argv[2]) == L"restrict")
            platform::win32::restrictDllSearchToSystem();
        HMODULE module = LoadLibraryW(argv[3]);
        writeText(argv[4], module != nullptr ? "loaded" : "refused");
        if (module != nullptr)
            FreeLibrary(module);
        return 0;
    }
    writeText(L"quorvex-helper-ran.txt", platform::toUtf8(GetCommandLineW()));
    return 3;
}
