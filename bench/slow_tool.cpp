// A bridge tool stand-in for measuring the installer's wait: "kill-server" takes five seconds
// and, the first time, leaves "first-command.done" in the current directory so that the
// measurement can see the command end without asking the installer's window anything.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2 || lstrcmpW(argv[1], L"kill-server") != 0)
        return 0;
    Sleep(5000);
    HANDLE marker = CreateFileW(L"first-command.done", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    return 0;
}
