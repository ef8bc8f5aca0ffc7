#pragma once
// What the program remembers for this Windows user, in the registry:
//   HKEY_CURRENT_USER\Software\Quorvex\Tizen Installer, value CertificateProfile (REG_SZ, or
//   REG_EXPAND_SZ for a path with %VARIABLES% set in advance): the certificate profile folder.
#include "platform/profile_dialogs.h"

namespace platform::win32 {

inline constexpr wchar_t settingsKey[] = L"Software\\Quorvex\\Tizen Installer";
inline constexpr wchar_t profileFolderValue[] = L"CertificateProfile";

class RegistrySettings final : public Settings {
  public:
    std::optional<std::wstring> profileFolder() override;
    // Throws platform::Error when the registry refuses the change.
    void setProfileFolder(const std::optional<std::wstring>& folder) override;
    std::wstring defaultProfileRoot() override;
};

}  // namespace platform::win32
