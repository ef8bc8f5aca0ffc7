#include "platform/win32/process_win32.h"

#include <windows.h>

#include "platform/error.h"
#include "platform/win32/system_library.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace platform::win32 {
namespace {

// Owns the two handles CreateProcessW hands back; closes the thread first, then the process.
class Win32Child final : public ChildProcess {
  public:
    Win32Child(HANDLE process, HANDLE thread) noexcept : process_(process), thread_(thread) {}
    Win32Child(const Win32Child&) = delete;
    Win32Child& operator=(const Win32Child&) = delete;
    ~Win32Child() override {
        if (thread_ != nullptr)
            CloseHandle(thread_);
        if (process_ != nullptr)
            CloseHandle(process_);
    }
    std::intptr_t systemHandle() const override {
        return reinterpret_cast<std::intptr_t>(process_);
    }

  private:
    HANDLE process_;
    HANDLE thread_;
};

// The first token of a command line as CreateProcessW reads it: up to the closing quote when it
// starts with one, otherwise up to the first blank.
std::wstring_view firstToken(std::wstring_view line) {
    if (!line.empty() && line.front() == L'"') {
        line.remove_prefix(1);
        return line.substr(0, line.find(L'"'));
    }
    return line.substr(0, line.find_first_of(L" \t"));
}

// Naming the interpreter in the system directory keeps a cmd.exe planted in the current
// directory or beside this program from running instead; the child still sees the line as given.
std::wstring applicationNameFor(std::wstring_view line) {
    const std::wstring_view token = firstToken(line);
    const std::wstring_view cmd = L"cmd.exe";
    if (token.size() != cmd.size() ||
        CompareStringOrdinal(token.data(), static_cast<int>(token.size()), cmd.data(),
                             static_cast<int>(cmd.size()), TRUE) != CSTR_EQUAL) {
        return {};
    }
    const std::wstring dir = systemDirectory();
    return dir.empty() ? std::wstring() : dir + L"\\cmd.exe";
}

// A manual-reset event: once set, every wait on it returns at once.
class Win32Signal final : public Signal {
  public:
    Win32Signal() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (event_ == nullptr)
            throw Error(L"No event object for a wait (error " + std::to_wstring(GetLastError()) +
                        L").");
    }
    Win32Signal(const Win32Signal&) = delete;
    Win32Signal& operator=(const Win32Signal&) = delete;
    ~Win32Signal() override { CloseHandle(event_); }
    void set() override { SetEvent(event_); }
    std::intptr_t systemHandle() const override { return reinterpret_cast<std::intptr_t>(event_); }

  private:
    HANDLE event_;
};

}  // namespace

std::unique_ptr<Signal> Win32Processes::newSignal() {
    return std::make_unique<Win32Signal>();
}

std::unique_ptr<ChildProcess> Win32Processes::start(const std::wstring& commandLine) {
    const std::wstring application = applicationNameFor(commandLine);
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return nullptr;
    }
    return std::make_unique<Win32Child>(pi.hProcess, pi.hThread);
}

WaitResult Win32Processes::wait(Waitable* what, bool serveInput,
                                std::chrono::milliseconds timeout) {
    HANDLE process = what != nullptr ? reinterpret_cast<HANDLE>(what->systemHandle()) : nullptr;
    const DWORD count = process != nullptr ? 1 : 0;
    // INFINITE is the all-ones value; anything longer than the largest finite wait is forever.
    const DWORD milliseconds = timeout >= std::chrono::milliseconds(INFINITE)
                                   ? INFINITE
                                   : static_cast<DWORD>(std::max<long long>(timeout.count(), 0));
    DWORD result;
    if (serveInput) {
        // MWMO_INPUTAVAILABLE: input that was already queued (seen by an earlier peek but not
        // removed) wakes the wait too, instead of only input that arrives after it starts.
        result = MsgWaitForMultipleObjectsEx(count, count != 0 ? &process : nullptr, milliseconds,
                                             QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    } else if (count != 0) {
        result = WaitForSingleObject(process, milliseconds);
    } else {
        Sleep(milliseconds);
        result = WAIT_TIMEOUT;
    }
    if (result == WAIT_TIMEOUT)
        return WaitResult::timedOut;
    if (count != 0 && result == WAIT_OBJECT_0)
        return WaitResult::signalled;
    if (serveInput && result == WAIT_OBJECT_0 + count)
        return WaitResult::inputWaiting;
    return WaitResult::failed;
}

void restrictDllSearchToSystem() {
    // Looked up rather than imported: Vista and an unpatched Windows 7 lack it, and an import
    // would stop the program from starting there. They keep their default order.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return;
    const auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set != nullptr)
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace platform::win32
