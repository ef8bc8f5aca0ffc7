// The program entry: the Windows platform objects, the form over them, and the message loop.
#include <windows.h>

#include <commctrl.h>

#include "platform/error.h"
#include "platform/net/asio_network.h"
#include "platform/system.h"
#include "platform/win32/addresses_win32.h"
#include "platform/win32/application.h"
#include "platform/win32/crypto_win32.h"
#include "platform/win32/files_win32.h"
#include "platform/win32/form_layout.h"
#include "platform/win32/main_window.h"
#include "platform/win32/process_win32.h"
#include "platform/win32/profile_dialogs_win32.h"
#include "platform/win32/settings_win32.h"
#include "platform/win32/single_instance.h"
#include "platform/win32/tool_folders_win32.h"
#include "src/app/installer_window.h"
#include "src/tvs/restart_wait.h"

namespace {

// Tests shorten the wait for a TV that is not ready yet; the program itself never sets it.
std::chrono::seconds restartWaitLimitFromEnvironment() {
    wchar_t value[16]{};
    const DWORD length = GetEnvironmentVariableW(L"QUORVEX_RESTART_WAIT_SECONDS", value, 16);
    return restartWaitLimit(length > 0 && length < 16 ? value : nullptr);
}

void showFatalError(const std::wstring& text) noexcept {
    MessageBoxW(nullptr, text.c_str(), layout::windowCaption, MB_OK | MB_ICONERROR);
}

// The profile dialogs, owned by the main window once it exists.
class WindowProfileDialogs final : public platform::ProfileDialogs {
  public:
    explicit WindowProfileDialogs(const platform::win32::MainWindow& window) : window_(window) {}
    std::optional<std::wstring> chooseFolder(const std::wstring& title, const std::wstring& start,
                                             const std::vector<std::wstring>& offered) override {
        return platform::win32::Win32ProfileDialogs(window_.handle())
            .chooseFolder(title, start, offered);
    }
    std::optional<platform::ProfilePasswords> askPasswords(
        const platform::PasswordDialogTexts& texts) override {
        return platform::win32::Win32ProfileDialogs(window_.handle()).askPasswords(texts);
    }

  private:
    const platform::win32::MainWindow& window_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    platform::win32::restrictDllSearchToSystem();
    const platform::win32::SingleInstance instance;
    if (!instance.first())
        return 0;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    try {
        platform::win32::Application app;
        platform::win32::MainWindow window(app);
        platform::win32::AdapterAddresses addresses;
        platform::win32::Win32Processes processes;
        platform::win32::Win32FileSystem files;
        platform::win32::ModuleResources resources;
        platform::SystemClock clock;
        platform::net::AsioNetwork network(processes);
        platform::win32::Win32ToolFolders toolFolders;
        platform::win32::Win32Crypto crypto;
        WindowProfileDialogs dialogs(window);
        platform::win32::RegistrySettings settings;
        platform::System system{addresses, processes,   app,    files,   resources, clock,
                                network,   toolFolders, crypto, dialogs, settings};
        InstallerWindow form(window, system, restartWaitLimitFromEnvironment());
        window.create(form, showCommand);
        app.run();
    } catch (const std::exception& e) {
        std::wstring message;
        try {
            message = platform::exceptionMessage(e);
        } catch (...) {
        }
        showFatalError(message);
    } catch (...) {
        showFatalError(L"");
    }
    return 0;
}
