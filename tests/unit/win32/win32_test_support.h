#pragma once
// What the Windows platform tests share: where the helper program is, a working directory of
// their own, and a message-only window to post input to.
#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/unit/temp_dir.h"

namespace test {

inline std::filesystem::path exeDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::wstring(path, length)).parent_path();
}

inline std::filesystem::path helperProgram() {
    return exeDirectory() / L"quorvex_test_helper.exe";
}

// Runs onInput for every WM_APP posted to it; exceptions stay inside the window procedure.
class InputWindow {
  public:
    InputWindow() {
        static const ATOM atom = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = &InputWindow::procedure;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"QuorvexTestInput";
            return RegisterClassExW(&wc);
        }();
        window_ = CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    InputWindow(const InputWindow&) = delete;
    InputWindow& operator=(const InputWindow&) = delete;
    ~InputWindow() { DestroyWindow(window_); }

    HWND handle() const { return window_; }
    void post() const { PostMessageW(window_, WM_APP, 0, 0); }

    std::function<void()> onInput;
    bool threw = false;

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<InputWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_APP && self != nullptr) {
            try {
                if (self->onInput)
                    self->onInput();
            } catch (...) {
                self->threw = true;
            }
            return 0;
        }
        return DefWindowProcW(window, message, w, l);
    }

    HWND window_ = nullptr;
};

}  // namespace test
