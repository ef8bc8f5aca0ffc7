#pragma once

// The characters Ctrl+A, Ctrl+C, Ctrl+V, Ctrl+X and Ctrl+Z type: editing commands, not text.
inline constexpr wchar_t keySelectAll = 0x01;
inline constexpr wchar_t keyCopy = 0x03;
inline constexpr wchar_t keyPaste = 0x16;
inline constexpr wchar_t keyCut = 0x18;
inline constexpr wchar_t keyUndo = 0x1A;

constexpr bool isEditingShortcut(wchar_t key) {
    return key == keySelectAll || key == keyCopy || key == keyPaste || key == keyCut ||
           key == keyUndo;
}

// Characters the TV address box admits when typed: digits, the full stop and backspace, and the
// editing shortcuts (what they paste is checked at the click, like any pasted text).
constexpr bool isAddressKey(wchar_t key) {
    return (key >= L'0' && key <= L'9') || key == L'.' || key == L'\b' || isEditingShortcut(key);
}
