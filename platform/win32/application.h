#pragma once
// The GUI thread's message loop. Messages for the main window go through IsDialogMessageW, so Tab
// and the arrow keys move between controls. A WM_QUIT seen by a nested pump (the command runner's
// wait) sets the terminate flag, and run() checks that flag before it blocks again, so a quit
// request is never lost.
#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>

#include "platform/message_loop.h"

namespace platform::win32 {

class Application final : public MessageLoop {
  public:
    // The message the main window receives for posted work; it calls runPosted().
    static constexpr UINT postedMessage = WM_APP + 1;

    void setMainWindow(HWND window) noexcept { mainWindow_ = window; }
    void post(std::function<void()> message) override;
    // Runs the work posted so far (on the GUI thread).
    void runPosted();
    // Runs until the application is told to end; returns the quit message's exit code.
    int run();
    void processMessages() override;
    bool terminated() const override { return terminated_; }

  private:
    void dispatch(MSG& msg);

    std::atomic<HWND> mainWindow_ = nullptr;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    std::atomic<bool> terminated_ = false;  // read by post() on other threads
    int exitCode_ = 0;
};

}  // namespace platform::win32
