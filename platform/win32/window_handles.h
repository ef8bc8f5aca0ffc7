#pragma once
// Owners for the GDI and USER handles the window creates itself.
#include <windows.h>

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

}  // namespace platform::win32
