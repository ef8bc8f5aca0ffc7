#include "platform/win32/system_library.h"

#include <vector>

#include "platform/error.h"
#include "platform/text.h"

namespace platform::win32 {

std::wstring systemDirectory() {
    std::vector<wchar_t> dir(MAX_PATH);
    UINT length = GetSystemDirectoryW(dir.data(), static_cast<UINT>(dir.size()));
    if (length >= dir.size()) {
        dir.resize(length + 1);
        length = GetSystemDirectoryW(dir.data(), static_cast<UINT>(dir.size()));
    }
    if (length == 0 || length >= dir.size())
        return {};
    return std::wstring(dir.data(), length);
}

SystemLibrary::SystemLibrary(const wchar_t* name) : name_(name) {
    module_ = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Systems without the search flags (Vista, Windows 7 before KB2533623) refuse it: the full
    // path to the system directory leaves nothing to search.
    if (module_ == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        const std::wstring dir = systemDirectory();
        if (!dir.empty())
            module_ = LoadLibraryExW((dir + L"\\" + name_).c_str(), nullptr, 0);
    }
    if (module_ == nullptr)
        throw Error(L"The system library " + name_ + L" could not be loaded (error " +
                    std::to_wstring(GetLastError()) + L").");
}

SystemLibrary::~SystemLibrary() {
    if (module_ != nullptr)
        FreeLibrary(module_);
}

FARPROC SystemLibrary::address(const char* exportName) const {
    const FARPROC found = GetProcAddress(module_, exportName);
    if (found == nullptr)
        throw Error(L"The system library " + name_ + L" has no function " + fromUtf8(exportName) +
                    L".");
    return found;
}

}  // namespace platform::win32
