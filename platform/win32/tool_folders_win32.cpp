#include "platform/win32/tool_folders_win32.h"

#include <windows.h>
// after windows.h, which it needs
#include <sddl.h>

#include <vector>

#include "platform/win32/unique_handle.h"

namespace platform::win32 {
namespace {

std::optional<std::wstring> environmentValue(const wchar_t* name) {
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD length =
            GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0)
            return std::nullopt;
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

// "S-1-5-21-…": the same for every run of this user, and plain whatever the user's name.
std::optional<std::wstring> userSid() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        return std::nullopt;
    const KernelHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return std::nullopt;
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return std::nullopt;
    const LocalText sid(text);
    return std::wstring(sid.get());
}

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::wstring Win32ToolFolders::currentFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(path.size()), path.data());
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);
    }
}

bool Win32ToolFolders::spellable(const std::wstring& path) {
    if (path.empty() || GetACP() == CP_UTF8)
        return true;
    // No best fit: a letter the code page lacks must not pass as a look-alike ("ә" as "a").
    const int wide = static_cast<int>(path.size());
    BOOL defaulted = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), wide, nullptr,
                                         0, nullptr, &defaulted);
    if (size <= 0 || defaulted)
        return false;
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), wide, narrow.data(), size,
                        nullptr, &defaulted);
    std::wstring back(path.size(), L'\0');
    const int backSize = MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, back.data(), wide);
    return !defaulted && backSize == wide && back == path;
}

std::optional<std::wstring> Win32ToolFolders::ownFolder() {
    auto base = environmentValue(L"ProgramData");
    if (!base)
        base = environmentValue(L"ALLUSERSPROFILE");
    const auto sid = userSid();
    if (!base || !sid)
        return std::nullopt;
    const std::wstring program = *base + L"\\Quorvex";
    const std::wstring own = program + L"\\" + *sid;
    CreateDirectoryW(program.c_str(), nullptr);
    CreateDirectoryW(own.c_str(), nullptr);
    if (!isFolder(own))
        return std::nullopt;
    return own;
}

void Win32ToolFolders::searchFirst(const std::wstring& folder) {
    if (!originalPath_)
        originalPath_ = environmentValue(L"PATH").value_or(L"");
    const std::wstring path = originalPath_->empty() ? folder : folder + L";" + *originalPath_;
    SetEnvironmentVariableW(L"PATH", path.c_str());
}

}  // namespace platform::win32
