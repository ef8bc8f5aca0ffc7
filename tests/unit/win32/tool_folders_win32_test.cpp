// Which paths a program that is not Unicode can spell (under Wine, whose code page is 1252).
#include "platform/win32/tool_folders_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(ToolFoldersWin32, SpellsWhatCodePage1252HoldsAndNoLookAlike) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "the cases are code page 1252's";
    platform::win32::Win32ToolFolders folders;
    const struct {
        const wchar_t* path;
        bool spellable;
    } cases[] = {
        {L"C:\\Users\\Ivan\\Downloads", true},
        {L"C:\\Users\\Jos\u00e9\\T\u00e9l\u00e9chargements", true},  // é is in 1252
        {L"C:\\Users\\\u0418\u0432\u0430\u043d\\Downloads", false},  // Иван
        {L"D:\\\u04d9\u043b\u0438\u044f", false},                    // Әлия
        {L"C:\\Users\\M\u0101ra", false},  // ā, which a best fit would make "a"
    };
    for (const auto& c : cases)
        EXPECT_EQ(folders.spellable(c.path), c.spellable) << static_cast<int>(c.path[9]);
}

}  // namespace
