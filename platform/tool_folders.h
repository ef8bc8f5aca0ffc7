#pragma once
// Where the bridge tool can run from. The tool is not a Unicode program: it starts its own server
// from its path as the system's ANSI code page spells it, so a folder whose path holds letters
// outside that code page stops it ("fail to create sdb server process: 123").
#include <optional>
#include <string>

namespace platform {

class ToolFolders {
  public:
    virtual ~ToolFolders() = default;
    // The full path of the current folder.
    virtual std::wstring currentFolder() = 0;
    // True when a program that is not Unicode gets this path back letter for letter.
    virtual bool spellable(const std::wstring& path) = 0;
    // A folder of this program's own, for this user, created when missing; nothing when there is
    // no place for one or it cannot be created.
    virtual std::optional<std::wstring> ownFolder() = 0;
    // Children started from now on look for a program named without a folder in `folder` after
    // the current folder (their search path starts with it).
    virtual void searchFirst(const std::wstring& folder) = 0;
};

}  // namespace platform
