#include "platform/win32/application.h"

namespace platform::win32 {

void Application::dispatch(MSG& msg) {
    if (mainWindow_ != nullptr && IsDialogMessageW(mainWindow_, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int Application::run() {
    while (!terminated_) {
        MSG msg{};
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            terminated_ = true;
            if (got == 0)
                exitCode_ = static_cast<int>(msg.wParam);
            break;
        }
        dispatch(msg);
    }
    return exitCode_;
}

void Application::processMessages() {
    MSG msg{};
    while (!terminated_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            exitCode_ = static_cast<int>(msg.wParam);
            break;
        }
        dispatch(msg);
    }
}

}  // namespace platform::win32
