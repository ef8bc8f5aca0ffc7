#include "platform/win32/single_instance.h"

#include "platform/win32/form_layout.h"

namespace platform::win32 {
namespace {

// "Local\" is the user's session: another user on the same computer runs a copy of their own.
constexpr const wchar_t* mutexName = L"Local\\QuorvexTizenInstaller.OneCopy";

void bringToFront() {
    // The first copy may still be creating its window.
    for (int attempt = 0; attempt < 30; ++attempt) {
        if (const HWND window = FindWindowW(layout::windowClass, layout::windowCaption)) {
            if (IsIconic(window))
                ShowWindow(window, SW_RESTORE);
            // A message box the first copy shows is what the user must answer.
            SetForegroundWindow(GetLastActivePopup(window));
            return;
        }
        Sleep(100);
    }
}

}  // namespace

SingleInstance::SingleInstance() {
    mutex_ = CreateMutexW(nullptr, FALSE, mutexName);
    // Without a mutex (a rare refusal) the program still runs: one copy is the usual case.
    if (mutex_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        first_ = false;
        bringToFront();
    }
}

SingleInstance::~SingleInstance() {
    if (mutex_ != nullptr)
        CloseHandle(mutex_);
}

}  // namespace platform::win32
