#pragma once
// Child processes on Windows: CreateProcessW with a hidden console, waited for with
// MsgWaitForMultipleObjectsEx so the GUI thread's input is still served.
#include "platform/process.h"

namespace platform::win32 {

class Win32Processes final : public Processes {
  public:
    std::unique_ptr<ChildProcess> start(const std::wstring& commandLine) override;
    std::unique_ptr<Signal> newSignal() override;
    WaitResult wait(Waitable* what, bool serveInput, std::chrono::milliseconds timeout) override;
};

// Keeps DLLs planted beside the exe or in the current directory from being loaded: only the
// system directory is searched from here on. Call first thing at start-up.
void restrictDllSearchToSystem();

}  // namespace platform::win32
