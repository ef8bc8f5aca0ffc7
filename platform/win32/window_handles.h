#pragma once
// Owners for the GDI and USER handles the window creates itself, and a window's text.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/unique_handle.h"

namespace platform::win32 {

inline void deleteFont(HFONT font) noexcept {
    DeleteObject(font);
}
inline void destroyIcon(HICON icon) noexcept {
    DestroyIcon(icon);
}

using FontHandle = UniqueHandle<HFONT, deleteFont>;
using IconHandle = UniqueHandle<HICON, destroyIcon>;

inline std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::wstring result(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, result.data(), length + 1);
    result.resize(static_cast<size_t>(std::max(copied, 0)));
    return result;
}

}  // namespace platform::win32
