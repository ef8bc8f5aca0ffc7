// The profile dialogs and the remembered folder, in-process: the main thread opens each dialog
// as the window will, a second thread plays the user through window messages. run-gui-test.sh
// runs it as `quorvex_profile_dialogs_test <unused> <dpi> <sync-dir> <shot-prefix>` and takes the
// screenshots it asks for as in gui_driver.cpp. Prints "FAIL: ..." for each fault.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/win32/profile_dialogs_win32.h"
#include "platform/win32/settings_win32.h"
#include "platform/win32/window_dpi.h"
#include "tests/time_limits.h"

namespace {

namespace ids = platform::win32::passwordDialog;
using Typed = std::optional<std::pair<std::wstring, std::wstring>>;

std::atomic<int> failures = 0;  // counted by both threads
UINT dpi = 96;
std::wstring shotBase;  // the sync folder and the screenshots' prefix
DWORD dialogThread = 0;
std::vector<int> boxesAtEnd;  // how much each password box held as it was destroyed

void check(bool ok, const std::wstring& what) {
    if (!ok) {
        ++failures;
        std::printf("FAIL: %s\n", platform::toUtf8(what).c_str());
        std::fflush(stdout);
    }
}

std::wstring textOf(HWND window) {
    wchar_t text[512] = {};
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

// A visible dialog of that title (of any, without one).
HWND visibleDialog(const wchar_t* title) {
    for (HWND d = nullptr; (d = FindWindowExW(nullptr, d, L"#32770", title)) != nullptr;) {
        if (IsWindowVisible(d))
            return d;
    }
    return nullptr;
}

// Whether `condition` comes true before a limit that only catches a hang.
template <typename Condition>
bool eventually(Condition condition) {
    for (const ULONGLONG until = GetTickCount64() + test_time::limitMs(60000);
         GetTickCount64() < until; Sleep(50)) {
        if (condition())
            return true;
    }
    return condition();
}

HWND waitForDialog(const wchar_t* title) {
    HWND dialog = nullptr;
    if (eventually([&] { return (dialog = visibleDialog(title)) != nullptr; }))
        return dialog;
    throw std::runtime_error("the dialog " + platform::toUtf8(title) + " did not open");
}

HWND focused() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(dialogThread, &info);
    return info.hwndFocus;
}

void type(HWND box, const std::wstring& text) {
    for (const wchar_t c : text)
        SendMessageW(box, WM_CHAR, c, 1);
}

// Through the dialog's own message loop, as a key press arrives.
void press(HWND control, WPARAM key) {
    PostMessageW(control, WM_KEYDOWN, key, 1);
    PostMessageW(control, WM_KEYUP, key, 0xC0000001);
}

void click(HWND dialog, int button) {
    PostMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
}

void screenshot(const std::wstring& name) {
    Sleep(400);  // let the dialog paint
    CloseHandle(CreateFileW((shotBase + name + L".want").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr));
    const std::wstring done = shotBase + name + L".done";
    check(eventually([&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }),
          L"screenshot " + name + L" was not taken");
}

// Runs `open` here while `user` plays the user on a second thread. A dialog still open once the
// user is done (or one that asks back, such as "folder not found") is a failure, and every
// dialog open is cancelled so that the test ends. When `open` throws (a dialog that could not be
// shown), the user's thread is still waited for before the error goes on to be reported.
template <typename Result>
Result withUser(const std::function<Result()>& open, const std::function<void()>& user) {
    std::thread player([&] {
        try {
            user();
            if (!eventually([] { return visibleDialog(nullptr) == nullptr; }))
                throw std::runtime_error("a dialog stayed open after the user was done");
        } catch (const std::exception& e) {
            check(false, platform::fromUtf8(e.what()));
            for (HWND d = nullptr; (d = FindWindowExW(nullptr, d, L"#32770", nullptr)) != nullptr;)
                PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
        }
    });
    std::optional<Result> result;
    std::exception_ptr failure;
    try {
        result.emplace(open());
    } catch (...) {
        failure = std::current_exception();
    }
    player.join();
    if (failure)
        std::rethrow_exception(failure);
    return std::move(*result);
}

LRESULT CALLBACK watchDestroy(int code, WPARAM w, LPARAM l) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(l);
    if (code == HC_ACTION && message->message == WM_DESTROY) {
        const int id = GetDlgCtrlID(message->hwnd);
        if (id == ids::authorBoxId || id == ids::distributorBoxId)
            boxesAtEnd.push_back(GetWindowTextLengthW(message->hwnd));
    }
    return CallNextHookEx(nullptr, code, w, l);
}

const platform::PasswordDialogTexts russian{
    L"Пароли сертификата",
    L"Введите пароли файлов author.p12 и distributor.p12 профиля "
    L"C:\\Users\\Иван\\SamsungCertificate\\Мой ТВ. Пароли нигде не сохраняются.",
    L"Пароль author.p12:",
    L"Пароль distributor.p12:",
    L"OK",
    L"Отмена"};
const platform::PasswordDialogTexts english{
    L"Certificate passwords",
    L"Type the passwords of author.p12 and distributor.p12 in the profile "
    L"C:\\Users\\Ivan\\SamsungCertificate\\My TV. They are not stored anywhere.",
    L"author.p12 password:",
    L"distributor.p12 password:",
    L"OK",
    L"Cancel"};

// The dialog drawn for its DPI: the client area, the font and every control inside, in order.
void checkScaled(HWND dialog) {
    const auto scaled = [](int value) { return MulDiv(value, static_cast<int>(dpi), 96); };
    check(platform::win32::dpiForWindow(dialog) == dpi, L"the dialog does not run at the DPI");
    RECT client{};
    GetClientRect(dialog, &client);
    check(client.right == scaled(440), L"client width " + std::to_wstring(client.right));
    LOGFONTW font{};
    const LRESULT handle = SendDlgItemMessageW(dialog, ids::authorBoxId, WM_GETFONT, 0, 0);
    GetObjectW(reinterpret_cast<HFONT>(handle), sizeof font, &font);
    check(font.lfHeight == -scaled(15), L"font height " + std::to_wstring(font.lfHeight));
    int lastBottom = 0;
    for (const int id : {ids::introId, ids::authorLabelId, ids::authorBoxId,
                         ids::distributorLabelId, ids::distributorBoxId, IDOK}) {
        RECT r{};
        GetWindowRect(GetDlgItem(dialog, id), &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        check(r.top >= lastBottom && r.left >= 0 && r.right <= client.right &&
                  r.bottom <= client.bottom,
              L"control " + std::to_wstring(id) + L" overlaps or leaves the dialog");
        lastBottom = r.bottom;
    }
}

// Each case types the author's password, and the distributor's after Tab when it has one, then
// clicks IDOK or IDCANCEL or presses a key.
void passwordDialogCases(platform::ProfileDialogs& dialogs) {
    const struct {
        const wchar_t* name;
        const platform::PasswordDialogTexts& texts;
        const wchar_t* author;
        const wchar_t* distributor;
        int end;
        const wchar_t* screenshot;
        Typed expected;
    } cases[] = {
        {L"Enter", russian, L"Пароль-1", nullptr, VK_RETURN, L"passwords-ru",
         Typed{{L"Пароль-1", L"Пароль-1"}}},
        {L"OK", english, L"author-pw", L"dist-pw", IDOK, L"passwords-en",
         Typed{{L"author-pwX", L"dist-pw"}}},
        {L"Esc", english, L"secret", nullptr, VK_ESCAPE, nullptr, std::nullopt},
        {L"Cancel", russian, L"secret", nullptr, IDCANCEL, nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::wstring name = c.name;
        boxesAtEnd.clear();
        const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watchDestroy, nullptr, dialogThread);
        const auto answer = withUser<std::optional<platform::ProfilePasswords>>(
            [&] { return dialogs.askPasswords(c.texts); },
            [&] {
                const HWND d = waitForDialog(c.texts.title.c_str());
                const HWND author = GetDlgItem(d, ids::authorBoxId);
                const HWND distributor = GetDlgItem(d, ids::distributorBoxId);
                check(focused() == author, name + L": the author's box has no focus at first");
                checkScaled(d);
                type(author, c.author);
                check(textOf(distributor) == c.author,
                      name + L": the distributor's box did not follow");
                if (c.distributor != nullptr) {
                    press(author, VK_TAB);
                    check(eventually([&] { return focused() == distributor; }),
                          name + L": Tab does not lead to the distributor's box");
                    SendMessageW(distributor, EM_SETSEL, 0, -1);
                    type(distributor, c.distributor);
                    type(author, L"X");
                    check(textOf(distributor) == c.distributor,
                          name + L": an edited distributor box changed");
                }
                if (c.screenshot != nullptr)
                    screenshot(c.screenshot);
                if (c.end == IDOK || c.end == IDCANCEL)
                    click(d, c.end);
                else
                    press(author, static_cast<WPARAM>(c.end));
            });
        UnhookWindowsHookEx(hook);
        Typed got;
        if (answer)
            got = std::pair{answer->author.c_str(), answer->distributor.c_str()};
        check(got == c.expected, name + L": the dialog returned other passwords");
        check(boxesAtEnd == std::vector{0, 0},
              name + L": the password boxes were not seen emptied and destroyed");
    }
}

// A folder named relative to the one the dialog opened at, in the file name box (under Wine an
// edit of its own, 1152; under Windows the edit of the file name combo box, 1148), or Cancel.
void folderDialogCases(platform::ProfileDialogs& dialogs) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const auto root = std::filesystem::path(temp) / L"Профили ёжика" / L"SamsungCertificate";
    const std::vector<std::wstring> offered{(root / L"Мой ТВ").wstring(),
                                            (root / L"other").wstring()};
    for (const auto& folder : offered)
        std::filesystem::create_directories(folder);
    const wchar_t* title = L"Папка профиля сертификата";
    for (const auto& expected : {std::optional(offered[0]), std::optional<std::wstring>()}) {
        const auto chosen = withUser<std::optional<std::wstring>>(
            [&] { return dialogs.chooseFolder(title, root.wstring(), offered); },
            [&] {
                const HWND d = waitForDialog(title);
                if (expected) {
                    screenshot(L"folder");
                    HWND name = GetDlgItem(d, 1152);
                    if (name == nullptr)
                        name = FindWindowExW(GetDlgItem(d, 1148), nullptr, L"Edit", nullptr);
                    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Мой ТВ"));
                }
                click(d, expected ? IDOK : IDCANCEL);
            });
        check(chosen == expected,
              L"the folder dialog chose \"" + chosen.value_or(L"(nothing)") + L"\"");
    }
}

// What is written through the settings (type 0) or straight into the registry, and read back.
void settingsCases() {
    using platform::win32::settingsKey, platform::win32::profileFolderValue;
    platform::win32::RegistrySettings settings;
    wchar_t profile[MAX_PATH];
    GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    check(settings.defaultProfileRoot() == std::wstring(profile) + L"\\SamsungCertificate",
          L"the default profile root is " + settings.defaultProfileRoot());
    check(!settings.profileFolder(), L"a fresh user has a profile folder");
    const struct {
        DWORD type;
        std::optional<std::wstring> written, expected;
    } cases[] = {
        {0, L"C:\\Профиль ТВ\\Мой", L"C:\\Профиль ТВ\\Мой"},
        {0, L"D:\\other", L"D:\\other"},
        {0, std::nullopt, std::nullopt},
        {0, std::nullopt, std::nullopt},
        {REG_EXPAND_SZ, L"%USERPROFILE%\\P", std::wstring(profile) + L"\\P"},
        {REG_SZ, L"", std::nullopt},
    };
    for (const auto& c : cases) {
        if (c.type == 0)
            settings.setProfileFolder(c.written);
        else
            RegSetKeyValueW(HKEY_CURRENT_USER, settingsKey, profileFolderValue, c.type,
                            c.written->c_str(),
                            static_cast<DWORD>((c.written->size() + 1) * sizeof(wchar_t)));
        check(settings.profileFolder() == c.expected,
              L"settings: wrote \"" + c.written.value_or(L"(nothing)") + L"\", read \"" +
                  settings.profileFolder().value_or(L"(nothing)") + L"\"");
    }
    settings.setProfileFolder(std::nullopt);
    check(RegGetValueW(HKEY_CURRENT_USER, settingsKey, profileFolderValue, RRF_RT_ANY, nullptr,
                       nullptr, nullptr) == ERROR_FILE_NOT_FOUND,
          L"the forgotten folder's value is still in the registry");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        check(false, L"usage: quorvex_profile_dialogs_test <unused> <dpi> <sync-dir> <prefix>");
        return 2;
    }
    dpi = static_cast<UINT>(std::stoi(argv[2]));
    shotBase = std::wstring(argv[3]) + L"\\" + argv[4] + L"-";
    if (!SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2))
        SetProcessDPIAware();  // Wine 8 knows only the older kinds
    dialogThread = GetCurrentThreadId();
    try {
        // The main window stands behind as the dialogs' owner; dark, so that the dialogs stand
        // out in the screenshots.
        const auto dark = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        const WNDCLASSW ownerClass{
            0,       DefWindowProcW, 0,    0,       GetModuleHandleW(nullptr),
            nullptr, nullptr,        dark, nullptr, L"QuorvexTestOwner"};
        RegisterClassW(&ownerClass);
        const HWND owner = CreateWindowExW(0, ownerClass.lpszClassName, L"Quorvex owner",
                                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 900, 650,
                                           nullptr, nullptr, ownerClass.hInstance, nullptr);
        UpdateWindow(owner);
        platform::win32::Win32ProfileDialogs dialogs(owner);
        passwordDialogCases(dialogs);
        folderDialogCases(dialogs);
        settingsCases();
        DestroyWindow(owner);
    } catch (const std::exception& e) {
        check(false, platform::fromUtf8(e.what()));
    }
    std::printf("profile dialogs: %s\n", failures == 0 ? "all checks passed" : "failures");
    return failures == 0 ? 0 : 1;
}
