#include "src/payload/tool_place.h"

std::optional<ToolPlace> chooseToolPlace(platform::ToolFolders& folders) {
    if (folders.spellable(folders.currentFolder()))
        return ToolPlace{};
    // A short 8.3 name of the current folder would keep everything in one place, but volumes
    // without short names are common, and Wine hands a program its long path even when it was
    // started by the short one.
    const auto own = folders.ownFolder();
    // A ';' would split the search path.
    if (!own || !folders.spellable(*own) || own->find(L';') != std::wstring::npos)
        return std::nullopt;
    return ToolPlace{*own};
}
