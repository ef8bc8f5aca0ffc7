#pragma once
// What a test program needs to look at another process's windows from outside: an owned handle,
// window messages with a time limit, texts, and the process's top-level windows (its main window,
// its message boxes).
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/time_limits.h"

namespace probe {

class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(nullptr); }
    HANDLE get() const { return handle_; }
    void reset(HANDLE handle) {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = handle;
    }

  private:
    HANDLE handle_ = nullptr;
};

// The message's result, or nothing when the window did not answer in time (by default a
// hang-catching limit).
inline std::optional<LRESULT> send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                                   UINT timeoutMs = test_time::limitMs(30000)) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs,
                            &result) == 0) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

inline std::optional<std::wstring> textOf(HWND window) {
    const auto length = send(window, WM_GETTEXTLENGTH);
    if (!length)
        return std::nullopt;
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    const auto copied = send(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                             reinterpret_cast<LPARAM>(text.data()));
    if (!copied)
        return std::nullopt;
    text.resize(static_cast<size_t>(*copied));
    return text;
}

inline std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The visible top-level windows of that class that belong to the process, in z-order.
inline std::vector<HWND> topLevelWindows(DWORD processId, const std::wstring& className) {
    struct Search {
        DWORD processId;
        const std::wstring& className;
        std::vector<HWND> found;
    } search{processId, className, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s.processId && classOf(window) == s.className && IsWindowVisible(window))
                s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline constexpr wchar_t messageBoxClass[] = L"#32770";

// A message box's text: its static with id 0xFFFF.
inline std::optional<std::wstring> messageBoxText(HWND box) {
    const HWND label = GetDlgItem(box, 0xFFFF);
    return textOf(label != nullptr ? label : box);
}

}  // namespace probe
