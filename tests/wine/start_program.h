#pragma once
// How a driver starts the program under test, as Explorer would: the program's own path as its
// command line, in a working directory of the test's. Under load Wine now and then fails to
// create the process at all, with ERROR_INTERNAL_ERROR, before any of the program's code has run;
// such a start is tried again a few times. Any other error goes to the caller at once.
#include <windows.h>

#include <string>

namespace test_start {

// True when the program was started (`info` holds its handles); false with GetLastError() set.
inline bool startProgram(const std::wstring& exe, const std::wstring& dir, STARTUPINFOW& startup,
                         PROCESS_INFORMATION& info) {
    for (int attempt = 1;; ++attempt) {
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           dir.c_str(), &startup, &info)) {
            return true;
        }
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 5)
            return false;
        Sleep(500);
    }
}

}  // namespace test_start
