#pragma once
// Where the bridge tool is written and run from. The commands name it "iu.exe" and log into
// doLog of the current folder whatever happens; only where the file lies can change.
#include <optional>
#include <string>

#include "platform/tool_folders.h"

inline constexpr const wchar_t* bridgeToolName = L"iu.exe";

struct ToolPlace {
    std::wstring folder;  // empty: the current folder, as always
    std::wstring file() const {
        return folder.empty() ? std::wstring(bridgeToolName) : folder + L"\\" + bridgeToolName;
    }
};

// The current folder when the tool can spell its path. Otherwise the program's own folder when
// the tool can spell that one: the commands, still run in the current folder, find the tool there
// through their search path. Nothing when neither will do.
std::optional<ToolPlace> chooseToolPlace(platform::ToolFolders& folders);
