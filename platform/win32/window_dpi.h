#pragma once
// DPI queries that also work on systems older than Windows 10 1607, where user32 lacks the
// per-window functions: there the system DPI stands in.
#include <windows.h>

namespace platform::win32 {

inline constexpr UINT defaultDpi = 96;

// The one scale function every layout number goes through.
inline int scaleForDpi(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), static_cast<int>(defaultDpi));
}

UINT dpiForWindow(HWND window);

// The window rectangle (origin 0,0 for the client area) whose client area has this size.
RECT windowRectForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);

}  // namespace platform::win32
