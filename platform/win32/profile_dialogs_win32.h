#pragma once
// The profile dialogs on Windows: the system's folder dialog (IFileOpenDialog picking folders)
// and a small password dialog built in code, both modal to the owner window.
#include <windows.h>

#include "platform/profile_dialogs.h"

namespace platform::win32 {

// The password dialog's control ids, for the GUI test; OK and Cancel are IDOK and IDCANCEL.
namespace passwordDialog {
inline constexpr int introId = 1201;
inline constexpr int authorLabelId = 1202;
inline constexpr int authorBoxId = 1203;
inline constexpr int distributorLabelId = 1204;
inline constexpr int distributorBoxId = 1205;
}  // namespace passwordDialog

class Win32ProfileDialogs final : public ProfileDialogs {
  public:
    explicit Win32ProfileDialogs(HWND owner) : owner_(owner) {}

    // Throws platform::Error when the system's dialog cannot be shown.
    std::optional<std::wstring> chooseFolder(const std::wstring& title, const std::wstring& start,
                                             const std::vector<std::wstring>& offered) override;
    std::optional<ProfilePasswords> askPasswords(const PasswordDialogTexts& texts) override;

  private:
    HWND owner_;
};

}  // namespace platform::win32
