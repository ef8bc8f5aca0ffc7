#include "platform/win32/application.h"

namespace platform::win32 {

void Application::dispatch(MSG& msg) {
    const HWND window = mainWindow_;
    if (window != nullptr && IsDialogMessageW(window, &msg))
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

void Application::post(std::function<void()> message) {
    // Through the main window rather than the thread: a modal loop (a message box) would drop
    // a thread message.
    const HWND window = mainWindow_;
    if (window == nullptr || terminated_)
        return;
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(message));
    }
    PostMessageW(window, postedMessage, 0, 0);
}

void Application::runPosted() {
    for (;;) {
        std::function<void()> message;
        {
            std::lock_guard lock(postedMutex_);
            if (posted_.empty() || terminated_)
                return;
            message = std::move(posted_.front());
            posted_.pop_front();
        }
        message();
    }
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
