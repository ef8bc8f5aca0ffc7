#pragma once
// The GUI thread's message loop. Messages for the main window go through IsDialogMessageW, so Tab
// and the arrow keys move between controls. A WM_QUIT seen by a nested pump (the command runner's
// wait) sets the terminate flag, and run() checks that flag before it blocks again, so a quit
// request is never lost.
#include <windows.h>

#include "platform/message_loop.h"

namespace platform::win32 {

class Application final : public MessageLoop {
  public:
    void setMainWindow(HWND window) noexcept { mainWindow_ = window; }
    // Runs until the application is told to end; returns the quit message's exit code.
    int run();
    void processMessages() override;
    bool terminated() const override { return terminated_; }

  private:
    void dispatch(MSG& msg);

    HWND mainWindow_ = nullptr;
    bool terminated_ = false;
    int exitCode_ = 0;
};

}  // namespace platform::win32
