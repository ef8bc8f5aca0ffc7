// Drives the installer's real window from outside, through window messages only, as a user
// would: types the TV address, picks the series, presses the install button, optionally acts
// during the run, waits for the end and prints what the window showed (UTF-8, one fact a line).
//
//   quorvex_e2e_driver INSTALLER WORKDIR ADDRESS SERIES [options]   (SERIES -1: leave it)
// Its waits for what must happen (a window, a file, the program's end) have limits that only
// catch a hang, stretched by QUORVEX_TEST_TIME_FACTOR; the times it prints are figures, which the
// scenarios print and never check.
//     --during=ACTIONS  act once the commands run (not during the check or a wait for the TV),
//                       in order (comma-separated):
//                       english, second-press, close, second-start (starts the installer again
//                       in --second-dir, or WORKDIR, and reports how soon that copy ended,
//                       "none" when it had not after a minute)
//     --act-at=N        act only once the progress bar has reached N (27: the uninstall runs)
//     --second-dir=DIR  the folder a second start runs in
//     --clipboard       put the address on the clipboard and paste it with Ctrl+A, Ctrl+V over
//                       a typed placeholder, as a user pasting from a chat
//     --hold-open=FILE  hold FILE (in WORKDIR) open without sharing for the whole run, as an
//                       editor showing an old log does
//     --answer=yes|no|cancel  how to answer a question (a box with Yes and No, or Yes, No and
//                       Cancel) before the run; its text is printed as "question: ...", its
//                       buttons as "question-buttons: yes,no[,cancel]" (default no; cancel in
//                       a box without Cancel is No)
//     --answers=LIST    answers to successive questions, e.g. yes,no,cancel (the last one
//                       repeats); overrides --answer
//     --during-wait=ACTIONS  act once the run waits for the TV (its install button enabled as
//                       Cancel; the wait's first status is printed as "wait-status", the button
//                       as "wait-button"), in order: english, cancel (press the button; print
//                       how soon it was the install button again, "wait-cancel-ms"), close
//     --wait-act-after=SECONDS  act on the wait only once it has gone on this long
//     --password=TEXT   fill the certificate profile's password dialog with TEXT (the
//                       distributor's box follows the author's), print its intro
//                       ("password-dialog: ...") and press OK; without it, Cancel
//     --distributor-password=TEXT  type this into the distributor's box after the author's
//     --time-check      print how long the check of the TV took: from the click until the
//                       widget file is written, which happens right after it
//     --english         switch the window to English before anything else
//     --await-list      wait (at most a minute) for the search for TVs to list its first item
//                       ("list-ms": how long after the window appeared) and then to end (the
//                       window's searching property gone: "search-ms"); print each item then
//                       ("found: ..."); an ADDRESS of "-" then types nothing and takes what the
//                       search put into the box; with --hold the list is shown open
//                       ("list-shown") until FILE exists
//     --pick=N,HOW      after --await-list, pick the list's item N (from 0) as a user does, with
//                       the real mouse or keyboard (SendInput): HOW is "mouse" (a click on the
//                       box's arrow, then on the item) or "keys" (a click into the box, F4, Down
//                       to the item, F4); print what the box then shows ("picked: ...")
//     --watch-list=SECONDS  after --await-list, keep reading the list while the window is idle
//                       for this long, and print each label as it changes ("list-change: MS
//                       LABEL", MS counted from the window's appearance), touching nothing
//     --list-only       after --await-list (and --watch-list), close the window: no install
//     --refresh-at-start  press the refresh button as soon as the window is there (the search
//                       that began with the window is still running)
//     --close-at-start  close the window as soon as it is there, print how soon the program
//                       ended ("exit-ms") and stop
//     --hold=FILE       before closing a box or the window, wait (at most two minutes) for FILE to
//                       exist, so that a screenshot can be taken
//     --time-signed     after the password dialog's OK, print how long until the signed widget
//                       file was written ("profile-to-signed-ms": the profile's check, the
//                       first commands, the DUID and signing) and how long after the DUID log
//                       got its text ("sign-ms": the DUID check and signing)
//     --hold-at=KIND    hold only at that kind of window: question (questionN: the Nth),
//                       password-dialog or box; print "holding: KIND" then
//     --timeout=SECONDS give up after this long (default 240)
//     --paste           put the address in with WM_SETTEXT instead of typing it
//     --timing          watch the run passively (files only: a message to the window would wake
//                       its wait) and print its wall time, from the click to the widget file's
//                       removal after the last command
// windows.h first: commctrl.h builds on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/form_layout.h"
#include "platform/win32/profile_dialogs_win32.h"
#include "src/texts/texts.h"
#include "tests/time_limits.h"
#include "tests/win32/window_probe.h"
#include "tests/wine/start_program.h"
#include "tests/wine/test_lan_guard.h"

using platform::Control;
using Clock = std::chrono::steady_clock;

namespace {

enum class Reply { yes, no, cancel };

std::optional<Reply> reply(const std::wstring& word) {
    if (word == L"yes")
        return Reply::yes;
    if (word == L"no")
        return Reply::no;
    if (word == L"cancel")
        return Reply::cancel;
    return std::nullopt;
}

void say(const std::wstring& key, const std::wstring& value) {
    std::string line = platform::toUtf8(key + L": " + value) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
}

[[noreturn]] void fail(const std::wstring& why) {
    say(L"error", why);
    ExitProcess(2);
}

// A window that does not answer in time reads as empty: the run's checks then say what is wrong.
std::wstring textOf(HWND window) {
    return probe::textOf(window).value_or(L"");
}

HWND findTopLevel(DWORD pid, const wchar_t* className) {
    const auto found = probe::topLevelWindows(pid, className);
    return found.empty() ? nullptr : found.front();
}

long long msSince(Clock::time_point then) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

// A limit on a wait for something that must happen: only a hang-catcher.
long long limitMs(long long ms) {
    return static_cast<long long>(test_time::limitMs(static_cast<unsigned long>(ms)));
}

void putOnClipboard(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr || !OpenClipboard(nullptr))
        fail(L"cannot use the clipboard");
    memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
        fail(L"cannot put the address on the clipboard");
    CloseClipboard();
}

// Starts the installer in `dir`, as Explorer would; its process and thread handles.
PROCESS_INFORMATION startInstaller(const std::wstring& installer, const std::wstring& dir) {
    if (const auto refusal = test_lan::refusal())
        fail(*refusal);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!test_start::startProgram(installer, dir, si, pi))
        fail(L"cannot start " + installer + L" (error " + std::to_wstring(GetLastError()) + L")");
    return pi;
}

// Starts the installer a second time and reports how soon it ended, whether it ever showed a
// window of its own, and whether the first copy's window came to the front.
void secondStart(const std::wstring& installer, const std::wstring& dir, HWND first) {
    const PROCESS_INFORMATION pi = startInstaller(installer, dir);
    const probe::Handle process(pi.hProcess);
    const probe::Handle thread(pi.hThread);
    const auto started = Clock::now();
    bool window = false;
    while (WaitForSingleObject(process.get(), 20) == WAIT_TIMEOUT &&
           msSince(started) < limitMs(60000)) {
        if (!probe::topLevelWindows(pi.dwProcessId, layout::windowClass).empty())
            window = true;
    }
    const bool ended = WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
    say(L"second-exit-ms", ended ? std::to_wstring(msSince(started)) : L"none");
    say(L"second-window", window ? L"yes" : L"no");
    say(L"first-in-front",
        GetAncestor(GetForegroundWindow(), GA_ROOTOWNER) == first ? L"yes" : L"no");
    if (!ended)
        TerminateProcess(process.get(), 1);
}

// Waits until the condition holds (at most a limit that only catches a hang); false when it
// never did.
template <typename Condition>
bool waitUntil(Condition condition) {
    for (const auto since = Clock::now(); !condition(); Sleep(10)) {
        if (msSince(since) > limitMs(20000))
            return false;
    }
    return true;
}

// The user's mouse and keyboard, through the system's input queue: they go to whatever window is
// under the pointer or has the focus, as real input does.
void sendInput(std::vector<INPUT> inputs) {
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
        fail(L"SendInput failed (error " + std::to_wstring(GetLastError()) + L")");
}

void clickAt(POINT at) {
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    sendInput({move});
    const auto there = [&] {
        POINT now{};
        return GetCursorPos(&now) && std::abs(now.x - at.x) <= 1 && std::abs(now.y - at.y) <= 1;
    };
    if (!waitUntil(there))
        fail(L"the pointer did not get to the point");
    // Each with the point: Wine's X11 driver may still move the pointer back to where the display
    // had it.
    INPUT down = move;
    down.mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    INPUT up = move;
    up.mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    sendInput({down, up});
}

void pressKey(WORD key) {
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = key;
    INPUT up = down;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    sendInput({down, up});
}

std::wstring listItem(HWND box, LRESULT index) {
    const auto length = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    std::wstring label(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(label.data()));
    label.resize(wcslen(label.c_str()));
    return label;
}

// Picks item `index` of the address box's list with the mouse or the keyboard, and returns what
// the box shows once the window has done with the pick.
std::wstring pickFromList(HWND window, HWND box, DWORD pid, LRESULT index, bool mouse) {
    SetForegroundWindow(window);
    if (!waitUntil([&] { return GetForegroundWindow() == window; }))
        fail(L"the installer's window did not come to the front");
    const HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
    RECT boxRect{};
    RECT editRect{};
    if (edit == nullptr || !GetWindowRect(box, &boxRect) || !GetWindowRect(edit, &editRect))
        fail(L"the address box has no edit");
    const LONG middle = (editRect.top + editRect.bottom) / 2;
    const auto dropped = [&] { return probe::send(box, CB_GETDROPPEDSTATE).value_or(0) != 0; };
    if (mouse) {
        // The arrow fills the box's right end beside its edit.
        clickAt({(editRect.right + boxRect.right) / 2, middle});
        if (!waitUntil(dropped))
            fail(L"a click on the arrow did not open the list");
        const auto lists = probe::topLevelWindows(pid, L"ComboLBox");
        if (lists.empty())
            fail(L"the open list is not to be found");
        const auto height = probe::send(lists.front(), LB_GETITEMHEIGHT).value_or(0);
        const auto top = probe::send(lists.front(), LB_GETTOPINDEX).value_or(0);
        POINT item{20, static_cast<LONG>((index - top) * height + height / 2)};
        ClientToScreen(lists.front(), &item);
        clickAt(item);
    } else {
        clickAt({(editRect.left + editRect.right) / 2, middle});
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        if (!waitUntil([&] {
                return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) &&
                       thread.hwndFocus == edit;
            })) {
            fail(L"a click into the box did not give it the focus");
        }
        pressKey(VK_F4);
        if (!waitUntil(dropped))
            fail(L"F4 did not open the list");
        const auto selected = [&] { return probe::send(box, CB_GETCURSEL).value_or(CB_ERR); };
        // Down moves on from the item the list marks, as the user sees it.
        for (int moves = 0; selected() != index; ++moves) {
            if (moves > index + 1)
                fail(L"Down did not reach the item");
            const LRESULT before = selected();
            pressKey(VK_DOWN);
            waitUntil([&] { return selected() != before; });
        }
        // Not Enter: the edit passes it on to the list as a typed character, which the address
        // box's key filter does not admit.
        pressKey(VK_F4);
    }
    if (!waitUntil([&] { return !dropped(); }))
        fail(L"the list did not close");
    if (probe::send(box, CB_GETCURSEL).value_or(CB_ERR) != index)
        fail(L"the list closed without the item picked");
    // The window puts the address in after the combo box has put the label there.
    const std::wstring label = listItem(box, index);
    waitUntil([&] { return textOf(box) != label; });
    return textOf(box);
}

void waitForFile(const std::wstring& file) {
    if (file.empty())
        return;
    const auto until = Clock::now() + std::chrono::milliseconds(limitMs(120000));
    while (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES && Clock::now() < until) {
        Sleep(100);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5)
        fail(L"usage: quorvex_e2e_driver INSTALLER WORKDIR ADDRESS SERIES [options]");
    const std::wstring installer = argv[1];
    const std::wstring workDir = argv[2];
    const std::wstring address = argv[3];
    const int series = _wtoi(argv[4]);
    std::wstring during;
    std::wstring hold;
    std::wstring holdAt;
    int timeout = 240;
    bool paste = false;
    bool clipboard = false;
    bool timing = false;
    int actAt = 0;
    std::wstring secondDir;
    std::wstring holdOpen;
    Reply answer = Reply::no;
    std::vector<Reply> answers;
    std::wstring duringWait;
    int waitActAfter = 0;
    std::wstring password;
    std::wstring distributorPassword;
    bool passwordGiven = false;
    bool timeSigned = false;
    bool timeCheck = false;
    bool english = false;
    bool awaitList = false;
    bool refreshAtStart = false;
    bool closeAtStart = false;
    int pick = -1;
    bool pickByMouse = true;
    int watchList = 0;
    bool listOnly = false;
    for (int i = 5; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg.rfind(L"--during=", 0) == 0)
            during = arg.substr(9);
        else if (arg.rfind(L"--hold=", 0) == 0)
            hold = arg.substr(7);
        else if (arg.rfind(L"--hold-at=", 0) == 0)
            holdAt = arg.substr(10);
        else if (arg.rfind(L"--timeout=", 0) == 0)
            timeout = _wtoi(arg.substr(10).c_str());
        else if (arg == L"--paste")
            paste = true;
        else if (arg == L"--clipboard")
            clipboard = true;
        else if (arg.rfind(L"--act-at=", 0) == 0)
            actAt = _wtoi(arg.substr(9).c_str());
        else if (arg.rfind(L"--second-dir=", 0) == 0)
            secondDir = arg.substr(13);
        else if (arg.rfind(L"--hold-open=", 0) == 0)
            holdOpen = arg.substr(12);
        else if (arg.rfind(L"--answer=", 0) == 0 && reply(arg.substr(9)))
            answer = *reply(arg.substr(9));
        else if (arg.rfind(L"--answers=", 0) == 0) {
            for (size_t from = 10; from <= arg.size();) {
                const size_t comma = arg.find(L',', from);
                const auto given = reply(arg.substr(from, comma - from));
                if (!given)
                    fail(L"--answers takes yes, no and cancel");
                answers.push_back(*given);
                from = comma == std::wstring::npos ? arg.size() + 1 : comma + 1;
            }
        } else if (arg.rfind(L"--during-wait=", 0) == 0)
            duringWait = arg.substr(14);
        else if (arg.rfind(L"--wait-act-after=", 0) == 0)
            waitActAfter = _wtoi(arg.substr(17).c_str());
        else if (arg.rfind(L"--password=", 0) == 0) {
            password = arg.substr(11);
            passwordGiven = true;
        } else if (arg.rfind(L"--distributor-password=", 0) == 0)
            distributorPassword = arg.substr(23);
        else if (arg == L"--time-signed")
            timeSigned = true;
        else if (arg == L"--time-check")
            timeCheck = true;
        else if (arg == L"--english")
            english = true;
        else if (arg == L"--await-list")
            awaitList = true;
        else if (arg == L"--refresh-at-start")
            refreshAtStart = true;
        else if (arg == L"--close-at-start")
            closeAtStart = true;
        else if (arg.rfind(L"--watch-list=", 0) == 0)
            watchList = _wtoi(arg.substr(13).c_str());
        else if (arg == L"--list-only")
            listOnly = true;
        else if (arg == L"--timing")
            timing = true;
        else if (arg.rfind(L"--pick=", 0) == 0) {
            const size_t comma = arg.find(L',');
            const std::wstring how = comma == std::wstring::npos ? L"" : arg.substr(comma + 1);
            if (how != L"mouse" && how != L"keys")
                fail(L"--pick=N,mouse or --pick=N,keys");
            pick = _wtoi(arg.substr(7).c_str());
            pickByMouse = how == L"mouse";
        } else
            fail(L"unknown option " + arg);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs(timeout * 1000LL));
    const auto holdFor = [&](const std::wstring& kind) {
        if (!holdAt.empty() && holdAt != kind)
            return;
        if (!holdAt.empty() && !hold.empty())
            say(L"holding", kind);
        waitForFile(hold);
    };
    int questions = 0;
    probe::Handle held;
    if (!holdOpen.empty()) {
        held.reset(CreateFileW((workDir + L"\\" + holdOpen).c_str(), GENERIC_READ, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (held.get() == INVALID_HANDLE_VALUE)
            fail(L"cannot hold " + holdOpen + L" open");
    }

    const PROCESS_INFORMATION pi = startInstaller(installer, workDir);
    const probe::Handle process(pi.hProcess);
    const probe::Handle thread(pi.hThread);

    // An installer that ends first has failed on its own; one that runs on without a window is
    // hung (seen once under Wine at load, which tests/e2e/scenario-run.sh tells by this text).
    HWND window = nullptr;
    while (window == nullptr) {
        DWORD code = 0;
        if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(process.get(), &code)) {
            fail(L"the installer ended before its window appeared (exit code " +
                 std::to_wstring(code) + L")");
        }
        if (Clock::now() > deadline)
            fail(L"the installer's window did not appear (it still runs)");
        Sleep(100);
        window = findTopLevel(pi.dwProcessId, layout::windowClass);
    }
    auto item = [&](int id) {
        HWND control = GetDlgItem(window, id);
        if (control == nullptr)
            fail(L"no control with id " + std::to_wstring(id));
        return control;
    };
    const auto appeared = Clock::now();
    HWND edit = item(layout::controlId(Control::tvAddressBox));
    HWND install = item(layout::controlId(Control::installButton));
    HWND status = item(layout::controlId(Control::status));
    HWND bar = item(layout::controlId(Control::progressBar));

    if (closeAtStart) {
        const auto closing = Clock::now();
        PostMessageW(window, WM_CLOSE, 0, 0);
        while (IsWindow(window) && msSince(closing) < limitMs(60000))
            Sleep(5);
        say(L"window-gone-ms", IsWindow(window) ? L"none" : std::to_wstring(msSince(closing)));
        const bool ended =
            WaitForSingleObject(process.get(), static_cast<DWORD>(limitMs(60000))) == WAIT_OBJECT_0;
        say(L"exit-ms", ended ? std::to_wstring(msSince(closing)) : L"none");
        return 0;
    }
    if (refreshAtStart)
        PostMessageW(item(layout::controlId(Control::refreshButton)), BM_CLICK, 0, 0);
    if (english)
        SendMessageW(item(layout::radioItemId(Control::languageChoice, 1)), BM_CLICK, 0, 0);
    if (awaitList) {
        LRESULT count = 0;
        while ((count = probe::send(edit, CB_GETCOUNT).value_or(0)) <= 0 &&
               msSince(appeared) < limitMs(60000))
            Sleep(10);
        say(L"list-ms", count > 0 ? std::to_wstring(msSince(appeared)) : L"none");
        // The list grows while the search goes on; what it found is all there once it ends.
        while (GetPropW(window, layout::searchingProperty) != nullptr &&
               msSince(appeared) < limitMs(60000))
            Sleep(10);
        say(L"search-ms", std::to_wstring(msSince(appeared)));
        count = probe::send(edit, CB_GETCOUNT).value_or(0);
        for (LRESULT i = 0; i < count; ++i)
            say(L"found", listItem(edit, i));
        say(L"box-after-search", textOf(edit));
        if (!hold.empty()) {
            // Open for a screenshot, then closed again.
            SendMessageW(edit, CB_SHOWDROPDOWN, TRUE, 0);
            say(L"list-shown", L"yes");
            waitForFile(hold);
            SendMessageW(edit, CB_SHOWDROPDOWN, FALSE, 0);
        }
        say(L"series-after-search",
            SendMessageW(item(layout::radioItemId(Control::seriesChoice, 1)), BM_GETCHECK, 0, 0) ==
                    BST_CHECKED
                ? L"1"
                : L"0");
        if (pick >= 0)
            say(L"picked", pickFromList(window, edit, pi.dwProcessId, pick, pickByMouse));
        // Read only: CB_GETLBTEXT asks the list, and nothing the window does on its own waits
        // for that.
        std::vector<std::wstring> seen;
        for (LRESULT i = 0; i < count; ++i)
            seen.push_back(listItem(edit, i));
        for (const auto since = Clock::now(); msSince(since) < watchList * 1000LL; Sleep(50)) {
            const LRESULT now = probe::send(edit, CB_GETCOUNT).value_or(0);
            std::vector<std::wstring> labels;
            for (LRESULT i = 0; i < now; ++i)
                labels.push_back(listItem(edit, i));
            for (const auto& label : labels) {
                if (std::find(seen.begin(), seen.end(), label) == seen.end())
                    say(L"list-change", std::to_wstring(msSince(appeared)) + L" " + label);
            }
            seen = std::move(labels);
        }
        if (listOnly) {
            PostMessageW(window, WM_CLOSE, 0, 0);
            const bool ended = WaitForSingleObject(process.get(), 15000) == WAIT_OBJECT_0;
            say(L"exited", ended ? L"yes" : L"no");
            return ended ? 0 : 2;
        }
    }

    if (awaitList && address == L"-") {
        // Nothing typed: the search's choice stands.
    } else if (paste) {
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(address.c_str()));
    } else if (clipboard) {
        putOnClipboard(address);
        for (wchar_t c : std::wstring(L"9.9.9.9"))
            SendMessageW(edit, WM_CHAR, c, 0);
        SendMessageW(edit, WM_CHAR, 0x01, 0);  // Ctrl+A
        SendMessageW(edit, WM_CHAR, 0x16, 0);  // Ctrl+V
    } else {
        for (wchar_t c : address)
            SendMessageW(edit, WM_CHAR, c, 0);
    }
    say(L"typed", textOf(edit));
    if (series >= 0)
        SendMessageW(item(layout::radioItemId(Control::seriesChoice, series)), BM_CLICK, 0, 0);
    const std::wstring before = textOf(status);
    // While the run waits for the TV, the install button is enabled as its Cancel.
    const auto waitingForTv = [&] {
        const std::wstring caption = textOf(install);
        return IsWindowEnabled(install) && (caption == text(msgCancel, Language::russian) ||
                                            caption == text(msgCancel, Language::english));
    };
    // Posted: the click runs the whole installation inside the installer's handler.
    PostMessageW(install, BM_CLICK, 0, 0);
    const auto clicked = Clock::now();
    if (timeCheck) {
        const std::wstring widget = workDir + L"\\Quorvex.wgt";
        while (GetFileAttributesW(widget.c_str()) == INVALID_FILE_ATTRIBUTES &&
               msSince(clicked) < limitMs(60000)) {
            Sleep(2);
        }
        say(L"check-ms", std::to_wstring(msSince(clicked)));
    }
    Clock::time_point finished{};
    if (timing) {
        auto exists = [&](const wchar_t* name) {
            return GetFileAttributesW((workDir + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
        };
        auto waitFor = [&](auto condition) {
            while (!condition()) {
                if (Clock::now() > deadline)
                    fail(L"the run did not get that far in time");
                if (WaitForSingleObject(process.get(), 2) == WAIT_OBJECT_0)
                    return;
            }
        };
        // The widget file is written just before the first command and removed after the last.
        waitFor([&] { return exists(L"Quorvex.wgt"); });
        waitFor([&] { return !exists(L"Quorvex.wgt"); });
        finished = Clock::now();
    }

    bool started = false;
    bool declined = false;  // the question before the run was answered No
    bool acted = during.empty();
    bool sawWait = false;
    bool actedOnWait = duringWait.empty();
    Clock::time_point waitSeen{};
    bool closed = false;
    Clock::time_point closedAt{};
    std::vector<std::wstring> statuses;
    HWND box = nullptr;
    for (;;) {
        if (Clock::now() > deadline)
            fail(L"the installation did not end in time");
        if (WaitForSingleObject(process.get(), 50) == WAIT_OBJECT_0)
            break;
        box = findTopLevel(pi.dwProcessId, probe::messageBoxClass);
        if (box != nullptr && GetDlgItem(box, platform::win32::passwordDialog::authorBoxId)) {
            namespace ids = platform::win32::passwordDialog;
            say(L"password-dialog", textOf(GetDlgItem(box, ids::introId)));
            if (passwordGiven) {
                // Typed, as a user would: the distributor's box follows the author's.
                HWND author = GetDlgItem(box, ids::authorBoxId);
                for (wchar_t c : password)
                    SendMessageW(author, WM_CHAR, c, 0);
                if (!distributorPassword.empty()) {
                    HWND distributor = GetDlgItem(box, ids::distributorBoxId);
                    SendMessageW(distributor, WM_SETTEXT, 0,
                                 reinterpret_cast<LPARAM>(distributorPassword.c_str()));
                }
            }
            holdFor(L"password-dialog");
            PostMessageW(box, WM_COMMAND, passwordGiven ? IDOK : IDCANCEL, 0);
            if (timeSigned) {
                // Files only: a message to the window would wake its waits.
                const auto ok = Clock::now();
                // A DUID log of an earlier run is older than the OK.
                FILETIME okTime{};
                GetSystemTimeAsFileTime(&okTime);
                std::optional<Clock::time_point> toolAt, duidAsked, duidAt;
                const auto stamp = [&](std::optional<Clock::time_point>& at, bool now) {
                    if (!at && now)
                        at = Clock::now();
                };
                const auto since = [](Clock::time_point from, std::optional<Clock::time_point> to) {
                    return to ? std::to_wstring(
                                    std::chrono::duration_cast<std::chrono::milliseconds>(*to -
                                                                                          from)
                                        .count())
                              : std::wstring(L"none");
                };
                const std::wstring tool = workDir + L"\\iu.exe";
                const std::wstring duidLog = workDir + L"\\doLog\\duid.txt";
                const std::wstring widget = workDir + L"\\Quorvex.wgt";
                WIN32_FILE_ATTRIBUTE_DATA data{};
                while (GetFileAttributesW(widget.c_str()) == INVALID_FILE_ATTRIBUTES &&
                       msSince(ok) < limitMs(120000)) {
                    stamp(toolAt, GetFileAttributesW(tool.c_str()) != INVALID_FILE_ATTRIBUTES);
                    const bool duidLogThere =
                        GetFileAttributesExW(duidLog.c_str(), GetFileExInfoStandard, &data) != 0 &&
                        CompareFileTime(&data.ftLastWriteTime, &okTime) >= 0;
                    stamp(duidAsked, duidLogThere);
                    stamp(duidAt, duidLogThere && data.nFileSizeLow > 0);
                    Sleep(2);
                }
                const auto signedAt = Clock::now();
                say(L"profile-to-signed-ms", since(ok, signedAt));
                say(L"profile-check-ms", since(ok, toolAt));
                if (duidAsked)
                    say(L"duid-ms", since(*duidAsked, duidAt));
                if (duidAt)
                    say(L"sign-ms", since(*duidAt, signedAt));
            }
            while (IsWindow(box) && Clock::now() < deadline)
                Sleep(20);
            box = nullptr;
            continue;
        }
        if (box != nullptr && GetDlgItem(box, IDYES) != nullptr) {
            if (!answers.empty()) {
                answer = answers.front();
                if (answers.size() > 1)
                    answers.erase(answers.begin());
            }
            const bool withCancel = GetDlgItem(box, IDCANCEL) != nullptr;
            // The question before the run: answer it and watch on.
            say(L"question", probe::messageBoxText(box).value_or(L""));
            say(L"question-buttons", withCancel ? L"yes,no,cancel" : L"yes,no");
            say(L"series-at-question",
                std::to_wstring(SendMessageW(item(layout::radioItemId(Control::seriesChoice, 1)),
                                             BM_GETCHECK, 0, 0) == BST_CHECKED));
            ++questions;
            holdFor(questions == 1 ? L"question" : L"question" + std::to_wstring(questions));
            const int button = answer == Reply::yes                    ? IDYES
                               : answer == Reply::cancel && withCancel ? IDCANCEL
                                                                       : IDNO;
            PostMessageW(box, WM_COMMAND, button, 0);
            // With Cancel there, No installs anyway and Yes waits for the TV.
            declined = withCancel ? button == IDCANCEL : button == IDNO;
            while (IsWindow(box) && Clock::now() < deadline)
                Sleep(20);
            box = nullptr;
            continue;
        }
        if (box != nullptr)
            break;
        const std::wstring now = textOf(status);
        if (statuses.empty() || statuses.back() != now)
            statuses.push_back(now);
        const bool waiting = waitingForTv();
        if (waiting && !sawWait) {
            sawWait = true;
            waitSeen = Clock::now();
            say(L"wait-status", now);
            say(L"wait-button", textOf(install));
        }
        if (waiting && !actedOnWait && msSince(waitSeen) >= waitActAfter * 1000LL) {
            actedOnWait = true;
            size_t from = 0;
            while (from <= duringWait.size()) {
                const size_t comma = duringWait.find(L',', from);
                const std::wstring action = duringWait.substr(from, comma - from);
                from = comma == std::wstring::npos ? duringWait.size() + 1 : comma + 1;
                if (action == L"english") {
                    SendMessageW(item(layout::radioItemId(Control::languageChoice, 1)), BM_CLICK, 0,
                                 0);
                    say(L"wait-status-after-switch", textOf(status));
                    say(L"wait-button-after-switch", textOf(install));
                } else if (action == L"cancel") {
                    const auto pressed = Clock::now();
                    SendMessageW(install, BM_CLICK, 0, 0);
                    while (waitingForTv() && msSince(pressed) < limitMs(10000))
                        Sleep(5);
                    say(L"wait-cancel-ms", std::to_wstring(msSince(pressed)));
                } else if (action == L"close") {
                    PostMessageW(window, WM_CLOSE, 0, 0);
                    closed = true;
                    closedAt = Clock::now();
                } else {
                    fail(L"unknown wait action " + action);
                }
            }
        }
        if (closed && sawWait)
            break;  // closed during the wait: how soon it ended is told below
        // The check before the commands is not yet the run that --during acts in.
        const auto checkingTv = [&] {
            const std::wstring said = textOf(status);
            for (const auto language : {Language::russian, Language::english}) {
                const std::wstring checking = text(msgCheckingTv, language);
                if (said.rfind(checking.substr(0, checking.find(L"%1")), 0) == 0)
                    return true;
            }
            return false;
        };
        const bool running = !IsWindowEnabled(install);
        if (running)
            started = true;
        if (started && !acted && !waiting && !checkingTv() &&
            (actAt == 0 || probe::send(bar, PBM_GETPOS).value_or(0) >= actAt)) {
            acted = true;
            size_t from = 0;
            while (from <= during.size()) {
                const size_t comma = during.find(L',', from);
                const std::wstring action = during.substr(from, comma - from);
                from = comma == std::wstring::npos ? during.size() + 1 : comma + 1;
                if (action == L"english") {
                    SendMessageW(item(layout::radioItemId(Control::languageChoice, 1)), BM_CLICK, 0,
                                 0);
                    say(L"status-after-switch", textOf(status));
                } else if (action == L"second-press") {
                    SendMessageW(install, BM_CLICK, 0, 0);
                    say(L"install-enabled-during-run", IsWindowEnabled(install) ? L"yes" : L"no");
                    say(L"edit-enabled-during-run", IsWindowEnabled(edit) ? L"yes" : L"no");
                    say(L"series-enabled-during-run",
                        IsWindowEnabled(item(layout::radioItemId(Control::seriesChoice, 1)))
                            ? L"yes"
                            : L"no");
                } else if (action == L"close") {
                    PostMessageW(window, WM_CLOSE, 0, 0);
                    closed = true;
                    closedAt = Clock::now();
                } else if (action == L"second-start") {
                    secondStart(installer, secondDir.empty() ? workDir : secondDir, window);
                } else {
                    fail(L"unknown action " + action);
                }
            }
        }
        // The button is disabled during the check too, and enabled again as the wait's Cancel.
        if (started && !running && !waiting && !closed)
            break;
        if (declined && IsWindowEnabled(install))
            break;  // No: the run ends before it began
        if (sawWait && !waiting && !started && IsWindowEnabled(install))
            break;  // the wait ended, and the run with it
        if (!started && !waiting && textOf(status) != before && IsWindowEnabled(install))
            break;  // ended at once
    }
    if (timing) {
        say(L"run-ms",
            std::to_wstring(
                std::chrono::duration_cast<std::chrono::milliseconds>(finished - clicked).count()));
    }
    for (const auto& s : statuses)
        say(L"status-seen", s);

    if (closed) {
        const DWORD waited = WaitForSingleObject(
            process.get(), static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  deadline - Clock::now())
                                                  .count()));
        say(L"exited-after-close", waited == WAIT_OBJECT_0 ? L"yes" : L"no");
        say(L"exit-after-close-ms", std::to_wstring(msSince(closedAt)));
        return 0;
    }
    // A run that ends in an error dialog before any command enables the controls again just
    // before the dialog comes up: a while for it.
    const bool unchanged = textOf(status) == before;
    for (const auto until = Clock::now() + std::chrono::milliseconds(limitMs(5000));
         unchanged && box == nullptr && !closed && Clock::now() < until; Sleep(50)) {
        box = findTopLevel(pi.dwProcessId, probe::messageBoxClass);
    }
    if (box != nullptr) {
        say(L"box", probe::messageBoxText(box).value_or(L""));
        holdFor(L"box");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        for (const auto until = Clock::now() + std::chrono::milliseconds(limitMs(60000));
             IsWindow(box) && Clock::now() < until;)
            Sleep(20);
        probe::send(window, WM_NULL);
        Sleep(300);
    }
    say(L"status", textOf(status));
    say(L"progress", std::to_wstring(SendMessageW(bar, PBM_GETPOS, 0, 0)));
    say(L"install-enabled", IsWindowEnabled(install) ? L"yes" : L"no");
    if (box == nullptr && holdAt.empty())
        waitForFile(hold);

    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.get(), static_cast<DWORD>(limitMs(60000))) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        fail(L"the installer did not end after its window was closed");
    }
    say(L"exited", L"yes");
    return 0;
}
