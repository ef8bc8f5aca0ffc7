#include "platform/win32/settings_win32.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <memory>
#include <vector>

namespace platform::win32 {
namespace {

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using KeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct TaskMemFreer {
    void operator()(wchar_t* memory) const { CoTaskMemFree(memory); }
};

[[noreturn]] void fail(const std::wstring& what, LSTATUS status) {
    throw Error(what + L" (error " + std::to_wstring(status) + L").");
}

}  // namespace

std::optional<std::wstring> RegistrySettings::profileFolder() {
    // RRF_RT_REG_SZ takes a REG_EXPAND_SZ value too, expanded (naming REG_EXPAND_SZ itself is
    // refused unless unexpanded).
    constexpr DWORD types = RRF_RT_REG_SZ;
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = 0;
        LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, settingsKey, profileFolderValue, types,
                                      nullptr, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return std::nullopt;  // not set, or not a text: no profile
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 1);
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegGetValueW(HKEY_CURRENT_USER, settingsKey, profileFolderValue, types, nullptr,
                              text.data(), &size);
        if (status == ERROR_MORE_DATA)
            continue;  // changed between the two reads
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        std::wstring folder(text.data());
        if (folder.empty())
            return std::nullopt;
        return folder;
    }
    return std::nullopt;
}

void RegistrySettings::setProfileFolder(const std::optional<std::wstring>& folder) {
    if (!folder) {
        const LSTATUS status =
            RegDeleteKeyValueW(HKEY_CURRENT_USER, settingsKey, profileFolderValue);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            fail(L"The certificate profile folder could not be forgotten", status);
        return;
    }
    HKEY raw = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, settingsKey, 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS)
        fail(L"The program's settings could not be opened in the registry", status);
    const KeyHandle key(raw);
    status = RegSetValueExW(key.get(), profileFolderValue, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(folder->c_str()),
                            static_cast<DWORD>((folder->size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        fail(L"The certificate profile folder could not be remembered", status);
}

std::wstring RegistrySettings::defaultProfileRoot() {
    std::wstring profile;
    wchar_t* raw = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &raw))) {
        const std::unique_ptr<wchar_t, TaskMemFreer> path(raw);
        profile = path.get();
    } else {
        CoTaskMemFree(raw);
        std::vector<wchar_t> value(MAX_PATH);
        DWORD length =
            GetEnvironmentVariableW(L"USERPROFILE", value.data(), static_cast<DWORD>(value.size()));
        if (length >= value.size()) {
            value.resize(length);
            length = GetEnvironmentVariableW(L"USERPROFILE", value.data(),
                                             static_cast<DWORD>(value.size()));
        }
        if (length > 0 && length < value.size())
            profile.assign(value.data(), length);
    }
    if (!profile.empty() && profile.back() == L'\\')
        profile.pop_back();
    return profile + L"\\SamsungCertificate";
}

}  // namespace platform::win32
