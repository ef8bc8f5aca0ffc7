// The profile dialogs and the remembered folder, in-process: the main thread opens each dialog
// as the window will, a second thread plays the user through window messages.
//
//   quorvex_profile_dialogs_test <unused> <dpi> <sync-dir> <shot-prefix>
//
// Run by run-gui-test.sh (a fresh prefix at that DPI, a display of its own); screenshots are
// asked for as in gui_driver.cpp. Prints "FAIL: ..." for each fault, exits 1 when any.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "platform/win32/profile_dialogs_win32.h"
#include "platform/win32/settings_win32.h"
#include "platform/win32/window_dpi.h"

namespace {

namespace ids = platform::win32::passwordDialog;
namespace fs = std::filesystem;

int failures = 0;
UINT dpi = 96;
std::wstring syncDir, shotPrefix;
DWORD dialogThread = 0;

void say(const std::wstring& line) {
    std::fputs((platform::toUtf8(line) + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void check(bool ok, const std::wstring& what) {
    if (!ok) {
        ++failures;
        say(L"FAIL: " + what);
    }
}

std::wstring textOf(HWND window) {
    wchar_t text[512] = {};
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND waitForDialog(const std::wstring& title) {
    for (int i = 0; i < 200; ++i) {
        const HWND dialog = FindWindowW(L"#32770", title.c_str());
        if (dialog != nullptr && IsWindowVisible(dialog))
            return dialog;
        Sleep(50);
    }
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
    Sleep(300);
}

void screenshot(const std::wstring& name) {
    Sleep(400);  // let the dialog paint
    const std::wstring base = syncDir + L"\\" + shotPrefix + L"-" + name;
    const HANDLE file = CreateFileW((base + L".want").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    for (int i = 0; i < 300; ++i) {
        if (GetFileAttributesW((base + L".done").c_str()) != INVALID_FILE_ATTRIBUTES)
            return;
        Sleep(100);
    }
    check(false, L"screenshot " + name + L" was not taken");
}

bool dialogOpen() {
    bool open = false;
    EnumThreadWindows(
        dialogThread,
        [](HWND window, LPARAM found) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (IsWindowVisible(window) && std::wstring(name) == L"#32770")
                *reinterpret_cast<bool*>(found) = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&open));
    return open;
}

// Runs `open` here while `drive` plays the user on a second thread. A dialog still open 5 s
// after the user is done (or one that asks back, such as "folder not found") is a failure, and
// everything open is cancelled so that the test ends.
template <typename Result>
Result withUser(const std::function<Result()>& open, const std::function<void()>& drive) {
    std::thread user([&] {
        try {
            drive();
            for (int i = 0; i < 50 && dialogOpen(); ++i)
                Sleep(100);
            if (dialogOpen())
                throw std::runtime_error("a dialog stayed open after the user was done");
        } catch (const std::exception& e) {
            check(false, platform::fromUtf8(e.what()));
            EnumThreadWindows(
                dialogThread,
                [](HWND window, LPARAM) -> BOOL {
                    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                    return TRUE;
                },
                0);
        }
    });
    Result result = open();
    user.join();
    return result;
}

// How much each password box held as it was destroyed.
std::vector<int> boxesAtEnd;

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

struct Boxes {
    HWND dialog, author, distributor;
};

Boxes boxesOf(const platform::PasswordDialogTexts& texts) {
    const HWND dialog = waitForDialog(texts.title);
    return {dialog, GetDlgItem(dialog, ids::authorBoxId),
            GetDlgItem(dialog, ids::distributorBoxId)};
}

// The dialog drawn for its DPI: the client area, the font and every control inside.
void checkScaled(const Boxes& b) {
    check(platform::win32::dpiForWindow(b.dialog) == dpi, L"the dialog does not run at the DPI");
    RECT client{};
    GetClientRect(b.dialog, &client);
    check(client.right == MulDiv(440, static_cast<int>(dpi), 96),
          L"client width " + std::to_wstring(client.right) + L" not scaled");
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(b.author, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    check(font.lfHeight == -MulDiv(15, static_cast<int>(dpi), 96),
          L"font height " + std::to_wstring(font.lfHeight) + L" not scaled");
    int lastBottom = 0;
    for (const int id : {ids::introId, ids::authorLabelId, ids::authorBoxId,
                         ids::distributorLabelId, ids::distributorBoxId, IDOK}) {
        RECT r{};
        GetWindowRect(GetDlgItem(b.dialog, id), &r);
        MapWindowPoints(nullptr, b.dialog, reinterpret_cast<POINT*>(&r), 2);
        check(r.top >= lastBottom && r.left >= 0 && r.right <= client.right &&
                  r.bottom <= client.bottom,
              L"control " + std::to_wstring(id) + L" overlaps or leaves the dialog");
        lastBottom = r.bottom;
    }
}

using Typed = std::optional<std::pair<std::wstring, std::wstring>>;

void passwordDialogCases(platform::ProfileDialogs& dialogs) {
    const struct {
        const wchar_t* name;
        const platform::PasswordDialogTexts& texts;
        std::function<void(const Boxes&)> user;
        Typed expected;
    } cases[] = {
        {L"typed, the distributor follows, Enter", russian,
         [](const Boxes& b) {
             check(focused() == b.author, L"the author's box has no focus at first");
             checkScaled(b);
             type(b.author, L"Пароль-1");
             check(textOf(b.distributor) == L"Пароль-1", L"the distributor's box did not follow");
             screenshot(L"passwords-ru");
             press(b.author, VK_RETURN);
         },
         std::pair{L"Пароль-1", L"Пароль-1"}},
        {L"the distributor edited stops following, OK", english,
         [](const Boxes& b) {
             type(b.author, L"author-pw");
             press(b.author, VK_TAB);
             check(focused() == b.distributor, L"Tab does not lead to the distributor's box");
             SendMessageW(b.distributor, EM_SETSEL, 0, -1);
             type(b.distributor, L"dist-pw");
             type(b.author, L"X");
             check(textOf(b.distributor) == L"dist-pw", L"an edited distributor box changed");
             screenshot(L"passwords-en");
             PostMessageW(GetDlgItem(b.dialog, IDOK), BM_CLICK, 0, 0);
         },
         std::pair{L"author-pwX", L"dist-pw"}},
        {L"Esc", english,
         [](const Boxes& b) {
             type(b.author, L"secret");
             press(b.author, VK_ESCAPE);
         },
         std::nullopt},
        {L"Cancel", russian,
         [](const Boxes& b) {
             type(b.author, L"secret");
             PostMessageW(GetDlgItem(b.dialog, IDCANCEL), BM_CLICK, 0, 0);
         },
         std::nullopt},
    };
    for (const auto& c : cases) {
        boxesAtEnd.clear();
        const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watchDestroy, nullptr, dialogThread);
        const auto answer = withUser<std::optional<platform::ProfilePasswords>>(
            [&] { return dialogs.askPasswords(c.texts); }, [&] { c.user(boxesOf(c.texts)); });
        UnhookWindowsHookEx(hook);
        const std::wstring name = c.name;
        Typed got;
        if (answer)
            got = std::pair{std::wstring(answer->author.c_str()),
                            std::wstring(answer->distributor.c_str())};
        check(got == c.expected, name + L": the dialog returned other passwords");
        check(boxesAtEnd.size() == 2, name + L": the password boxes were not seen destroyed");
        for (const int length : boxesAtEnd)
            check(length == 0, name + L": a password box still held text when destroyed");
    }
}

// The file name box: under Wine an edit of its own (1152, beside IDOK "&Open"), under Windows
// the edit of the file name combo box (1148).
HWND nameBox(HWND dialog) {
    const HWND edit = GetDlgItem(dialog, 1152);
    return edit != nullptr ? edit
                           : FindWindowExW(GetDlgItem(dialog, 1148), nullptr, L"Edit", nullptr);
}

void folderDialogCases(platform::ProfileDialogs& dialogs) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const fs::path root = fs::path(temp) / L"Профили ёжика" / L"SamsungCertificate";
    fs::create_directories(root / L"Мой ТВ");
    fs::create_directories(root / L"other");
    const std::wstring title = L"Папка профиля сертификата";
    const std::vector<std::wstring> offered{(root / L"Мой ТВ").wstring(),
                                            (root / L"other").wstring()};
    const struct {
        const wchar_t* name;
        std::function<void(HWND)> user;
        std::optional<std::wstring> expected;
    } cases[] = {
        // A name relative to the folder the dialog opened at.
        {L"a folder chosen",
         [](HWND dialog) {
             screenshot(L"folder");
             SendMessageW(nameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Мой ТВ"));
             PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
         },
         (root / L"Мой ТВ").wstring()},
        {L"cancelled",
         [](HWND dialog) { PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); },
         std::nullopt},
    };
    for (const auto& c : cases) {
        const auto chosen = withUser<std::optional<std::wstring>>(
            [&] { return dialogs.chooseFolder(title, root.wstring(), offered); },
            [&] { c.user(waitForDialog(title)); });
        check(chosen == c.expected,
              std::wstring(c.name) + L": chose \"" + chosen.value_or(L"(nothing)") + L"\"");
    }
}

void settingsCases() {
    platform::win32::RegistrySettings settings;
    const auto key = platform::win32::settingsKey;
    const auto value = platform::win32::profileFolderValue;
    wchar_t profile[MAX_PATH];
    GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    check(settings.defaultProfileRoot() == std::wstring(profile) + L"\\SamsungCertificate",
          L"the default profile root is " + settings.defaultProfileRoot());
    check(!settings.profileFolder(), L"a fresh user has a profile folder");

    const auto raw = [&](DWORD type, const std::wstring& text) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key, value, type, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    };
    const struct {
        const wchar_t* name;
        std::function<void()> change;
        std::optional<std::wstring> expected;
    } cases[] = {
        {L"remembered", [&] { settings.setProfileFolder(L"C:\\Профиль ТВ\\Мой"); },
         L"C:\\Профиль ТВ\\Мой"},
        {L"replaced", [&] { settings.setProfileFolder(L"D:\\other"); }, L"D:\\other"},
        {L"forgotten", [&] { settings.setProfileFolder(std::nullopt); }, std::nullopt},
        {L"forgotten twice", [&] { settings.setProfileFolder(std::nullopt); }, std::nullopt},
        {L"set in advance with a variable", [&] { raw(REG_EXPAND_SZ, L"%USERPROFILE%\\P"); },
         std::wstring(profile) + L"\\P"},
        {L"set empty", [&] { raw(REG_SZ, L""); }, std::nullopt},
    };
    for (const auto& c : cases) {
        c.change();
        check(settings.profileFolder() == c.expected,
              std::wstring(L"settings ") + c.name + L": read \"" +
                  settings.profileFolder().value_or(L"(nothing)") + L"\"");
    }
    settings.setProfileFolder(std::nullopt);
    check(RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
              ERROR_FILE_NOT_FOUND,
          L"the forgotten folder's value is still in the registry");
}

void beDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const auto set = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (set == nullptr || !set(reinterpret_cast<HANDLE>(-4)))  // per monitor, version 2
        SetProcessDPIAware();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        say(L"FAIL: usage: quorvex_profile_dialogs_test <unused> <dpi> <sync-dir> <shot-prefix>");
        return 2;
    }
    dpi = static_cast<UINT>(std::stoi(argv[2]));
    syncDir = argv[3];
    shotPrefix = argv[4];
    beDpiAware();
    dialogThread = GetCurrentThreadId();
    try {
        // The main window stands behind, as the dialogs' owner; dark, so that the frameless
        // dialogs stand out in the screenshots.
        WNDCLASSEXW ownerClass{};
        ownerClass.cbSize = sizeof ownerClass;
        ownerClass.lpfnWndProc = DefWindowProcW;
        ownerClass.hInstance = GetModuleHandleW(nullptr);
        ownerClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        ownerClass.lpszClassName = L"QuorvexTestOwner";
        RegisterClassExW(&ownerClass);
        const HWND owner =
            CreateWindowExW(0, ownerClass.lpszClassName, L"Quorvex owner", WS_OVERLAPPEDWINDOW, 40,
                            40, 900, 650, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ShowWindow(owner, SW_SHOWNORMAL);
        UpdateWindow(owner);
        platform::win32::Win32ProfileDialogs dialogs(owner);
        passwordDialogCases(dialogs);
        folderDialogCases(dialogs);
        settingsCases();
        DestroyWindow(owner);
    } catch (const std::exception& e) {
        check(false, platform::fromUtf8(e.what()));
    }
    say(failures == 0 ? L"profile dialogs: all checks passed" : L"profile dialogs: failures");
    return failures == 0 ? 0 : 1;
}
