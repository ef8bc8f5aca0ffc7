#pragma once
// Folders whose spelling the test decides: a path holding any of `unspellable` is one a program
// that is not Unicode cannot spell.
#include <optional>
#include <string>
#include <vector>

#include "platform/tool_folders.h"

namespace platform::memory {

class FakeToolFolders final : public ToolFolders {
  public:
    std::wstring current = L"C:\\Users\\Ivan\\Downloads";
    std::wstring unspellable;
    std::optional<std::wstring> own = L"C:\\ProgramData\\Quorvex\\S-1-5-21-1";
    std::vector<std::wstring> searched;  // each folder searchFirst was given

    std::wstring currentFolder() override { return current; }
    bool spellable(const std::wstring& path) override {
        return unspellable.empty() || path.find_first_of(unspellable) == std::wstring::npos;
    }
    std::optional<std::wstring> ownFolder() override { return own; }
    void searchFirst(const std::wstring& folder) override { searched.push_back(folder); }
};

}  // namespace platform::memory
