#pragma once
// The owner's Samsung certificate profile, as the window asks for it: a folder, two passwords,
// and the folder remembered for this Windows user.
#include <optional>
#include <string>
#include <vector>

#include "platform/crypto.h"

namespace platform {

struct PasswordDialogTexts {
    std::wstring title;
    std::wstring intro;        // what the passwords are for, naming the profile folder
    std::wstring author;       // label of the author.p12 password box
    std::wstring distributor;  // label of the distributor.p12 password box
    std::wstring ok;
    std::wstring cancel;
};

struct ProfilePasswords {
    Secret author;
    Secret distributor;
};

class ProfileDialogs {
  public:
    virtual ~ProfileDialogs() = default;
    // The system's standard folder dialog, opening at `start` (when it exists), with the
    // `offered` folders listed first. Nothing when the user cancels.
    virtual std::optional<std::wstring> chooseFolder(const std::wstring& title,
                                                     const std::wstring& start,
                                                     const std::vector<std::wstring>& offered) = 0;
    // One modal dialog with two password boxes; the distributor's repeats what is typed in the
    // author's until the user edits it. Nothing when the user cancels. The boxes are emptied
    // before the dialog goes away.
    virtual std::optional<ProfilePasswords> askPasswords(const PasswordDialogTexts& texts) = 0;
};

// What the program remembers between runs, for this Windows user.
class Settings {
  public:
    virtual ~Settings() = default;
    // The certificate profile folder chosen last, or nothing ("no profile").
    virtual std::optional<std::wstring> profileFolder() = 0;
    // Nothing forgets the folder.
    virtual void setProfileFolder(const std::optional<std::wstring>& folder) = 0;
    // Where the certificate tools keep profiles: %USERPROFILE%\SamsungCertificate.
    virtual std::wstring defaultProfileRoot() = 0;
};

}  // namespace platform
