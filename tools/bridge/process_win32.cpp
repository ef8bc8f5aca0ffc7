#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <memory>

#include "tools/bridge/process.h"

namespace bridge {

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct LocalFreer {
    void operator()(wchar_t** p) const noexcept { LocalFree(p); }
};

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// The path a program that is not Unicode gets for itself, as the real tool takes it: letters the
// ANSI code page cannot spell come back as '?', and a start from that path then fails.
std::string ownAnsiPath() {
    std::string path(MAX_PATH, '\0');
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    return path;
}

// The real tool's own words when its server cannot be started.
std::string startFailure() {
    return "fail to create sdb server process: " + std::to_string(GetLastError());
}

}  // namespace

std::vector<std::string> programArguments(int, char**) {
    // The C runtime's argv is in the ANSI code page; the wide command line keeps every name.
    int count = 0;
    std::unique_ptr<wchar_t*, LocalFreer> argv(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::string> args;
    for (int i = 1; argv && i < count; ++i) {
        args.push_back(toUtf8(argv.get()[i]));
    }
    return args;
}

bool startServerProcess(std::string& error) {
    const std::string exe = ownAnsiPath();
    if (exe.empty()) {
        error = startFailure();
        return false;
    }
    std::string commandLine = "\"" + exe + "\" fork-server server";

    // No inherited handles and no console: the server must not keep the caller's redirected log
    // file or console open, or cmd.exe would wait for it. Started in the caller's folder, as the
    // real one is; it moves to its own (detachServerStdio).
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Wine under load now and then fails a start it makes a moment later, with
    // ERROR_INTERNAL_ERROR, which Windows does not give here: that one is tried again, twice at
    // most. Any other failure is reported in the real tool's words at once.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                           DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                           &info)) {
            break;
        }
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) {
            error = startFailure();
            return false;
        }
        Sleep(200);
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    return true;
}

void detachServerStdio() {
    wchar_t exe[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        std::wstring folder(exe, length);
        folder.erase(folder.find_last_of(L"\\/"));
        SetCurrentDirectoryW(folder.c_str());
    }
    // Kept for the life of the process: these become its standard handles.
    static UniqueHandle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    static UniqueHandle output(CreateFileW(L"NUL", GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    SetStdHandle(STD_INPUT_HANDLE, input.get());
    SetStdHandle(STD_OUTPUT_HANDLE, output.get());
    SetStdHandle(STD_ERROR_HANDLE, output.get());
}

}  // namespace bridge
