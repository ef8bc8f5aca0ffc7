#pragma once
#include "platform/tool_folders.h"

namespace platform::win32 {

// The own folder is %ProgramData%\Quorvex\<the user's SID>: outside the user's profile, whose
// path holds the user's name, and apart from other users' runs.
class Win32ToolFolders final : public ToolFolders {
  public:
    std::wstring currentFolder() override;
    bool spellable(const std::wstring& path) override;
    std::optional<std::wstring> ownFolder() override;
    void searchFirst(const std::wstring& folder) override;

  private:
    std::optional<std::wstring> originalPath_;
};

}  // namespace platform::win32
