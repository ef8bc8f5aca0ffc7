// Drives the running QuorvexInstaller.exe from outside, through window messages only, the way a
// screen reader or an end-to-end script would.
//
//   quorvex_gui_driver <QuorvexInstaller.exe> <dpi> <sync-dir> <shot-prefix>
//
// A screenshot is asked for by creating <sync-dir>\<name>.want; the wrapper script takes it and
// renames the file to <name>.done. Exit code 0 when every check passed.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/form_layout.h"
#include "src/texts/texts.h"
#include "tests/time_limits.h"
#include "tests/win32/window_probe.h"
#include "tests/wine/start_program.h"
#include "tests/wine/test_lan_guard.h"

using platform::Control;

namespace {

// Limits that only catch a hang (stretched by QUORVEX_TEST_TIME_FACTOR).
const UINT messageTimeoutMs = test_time::limitMs(30000);
const DWORD startTimeoutMs = test_time::limitMs(120000);
const DWORD settleTimeoutMs = test_time::limitMs(30000);

// Ends the test at once: what follows would only report the same fault again.
struct Abort : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void say(const std::wstring& line) {
    std::fputs((platform::toUtf8(line) + "\n").c_str(), stdout);
    std::fflush(stdout);
}

int failures = 0;

void check(bool ok, const std::wstring& what) {
    if (ok)
        return;
    ++failures;
    say(L"FAIL: " + what);
}

void checkEqual(const std::wstring& actual, const std::wstring& expected,
                const std::wstring& what) {
    check(actual == expected, what + L": got \"" + actual + L"\", expected \"" + expected + L"\"");
}

LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    const auto result = probe::send(window, message, wParam, lParam, messageTimeoutMs);
    if (!result)
        throw Abort("the program did not answer a window message");
    return *result;
}

std::wstring textOf(HWND window) {
    const auto text = probe::textOf(window);
    if (!text)
        throw Abort("the program did not answer a window message");
    return *text;
}

using probe::classOf;

std::wstring number(long value) {
    return std::to_wstring(value);
}

std::vector<std::wstring> openMessageBoxes(DWORD processId);

// The program under test, started in a working directory of its own. Whatever happens, it does
// not outlive the test: closed politely, then terminated.
class Program {
  public:
    explicit Program(const std::wstring& exe) {
        if (const auto refusal = test_lan::refusal())
            throw Abort(platform::toUtf8(*refusal));
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        directory_ = std::wstring(temp) + L"quorvex-gui-" + number(GetCurrentProcessId());
        CreateDirectoryW(directory_.c_str(), nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION info{};
        if (!test_start::startProgram(exe, directory_, startup, info)) {
            throw Abort("QuorvexInstaller.exe could not be started: error " +
                        std::to_string(GetLastError()));
        }
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        id_ = info.dwProcessId;
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() {
        if (running()) {
            if (window_ != nullptr)
                PostMessageW(window_, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process_.get(), settleTimeoutMs) != WAIT_OBJECT_0) {
                TerminateProcess(process_.get(), 1);
                WaitForSingleObject(process_.get(), settleTimeoutMs);
            }
        }
        RemoveDirectoryW(directory_.c_str());
    }

    bool running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    DWORD id() const { return id_; }
    HANDLE process() const { return process_.get(); }
    HWND window() const { return window_; }

    // The visible main window, found by class and caption.
    HWND waitForWindow() {
        const ULONGLONG deadline = GetTickCount64() + startTimeoutMs;
        while (GetTickCount64() < deadline) {
            HWND found = FindWindowW(layout::windowClass, layout::windowCaption);
            DWORD owner = 0;
            if (found != nullptr)
                GetWindowThreadProcessId(found, &owner);
            if (found != nullptr && owner == id_ && IsWindowVisible(found)) {
                window_ = found;
                WaitForInputIdle(process_.get(), settleTimeoutMs);
                return found;
            }
            if (!running())
                throw Abort("QuorvexInstaller.exe ended before showing its window");
            // An error dialog during created holds the window back: report it, do not wait.
            const std::vector<std::wstring> boxes = openMessageBoxes(id_);
            if (!boxes.empty()) {
                throw Abort("a message box opened before the window: " +
                            platform::toUtf8(boxes.front()));
            }
            Sleep(100);
        }
        throw Abort("no visible window \"Quorvex Tizen Installer\"");
    }

  private:
    std::wstring directory_;
    probe::Handle process_;
    DWORD id_ = 0;
    HWND window_ = nullptr;
};

// Message boxes (class #32770) the program has open: an error dialog means a handler failed.
std::vector<std::wstring> openMessageBoxes(DWORD processId) {
    std::vector<std::wstring> texts;
    for (HWND box : probe::topLevelWindows(processId, probe::messageBoxClass)) {
        const auto text = probe::messageBoxText(box);
        if (!text)
            throw Abort("the program did not answer a window message");
        texts.push_back(*text);
    }
    return texts;
}

void checkNoMessageBox(const Program& program, const std::wstring& when) {
    for (const std::wstring& text : openMessageBoxes(program.id())) {
        check(false, L"message box open " + when + L": \"" + text + L"\"");
    }
}

class Screenshots {
  public:
    Screenshots(std::wstring syncDir, std::wstring prefix)
        : syncDir_(std::move(syncDir)), prefix_(std::move(prefix)) {}

    void take(const std::wstring& name) {
        const std::wstring base = syncDir_ + L"\\" + prefix_ + L"-" + name;
        const HANDLE file = CreateFileW((base + L".want").c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            throw Abort("screenshot request could not be written");
        CloseHandle(file);
        const ULONGLONG deadline = GetTickCount64() + test_time::limitMs(60000);
        while (GetTickCount64() < deadline) {
            if (GetFileAttributesW((base + L".done").c_str()) != INVALID_FILE_ATTRIBUTES)
                return;
            Sleep(100);
        }
        throw Abort("the screenshot was not taken");
    }

  private:
    std::wstring syncDir_;
    std::wstring prefix_;
};

// Lets the program paint what it was just told to show.
void settle(HWND window) {
    send(window, WM_NULL);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(500);
    send(window, WM_NULL);
}

struct Window {
    HWND main;
    std::map<int, HWND> byId;

    HWND operator[](Control control) const { return item(layout::controlId(control)); }
    HWND radio(Control group, int index) const { return item(layout::radioItemId(group, index)); }
    HWND item(int id) const {
        const auto found = byId.find(id);
        if (found == byId.end())
            throw Abort("no control with id " + std::to_string(id));
        return found->second;
    }
};

Window walkControls(HWND main) {
    Window window{main, {}};
    EnumChildWindows(
        main,
        [](HWND child, LPARAM context) -> BOOL {
            auto& w = *reinterpret_cast<Window*>(context);
            if (GetParent(child) == w.main)
                w.byId[GetDlgCtrlID(child)] = child;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&window));
    return window;
}

const wchar_t* controlName(Control control) {
    static constexpr const wchar_t* names[] = {
        L"languageChoice", L"pcAddressGroup", L"pcAddresses", L"pcAddressNote", L"refreshButton",
        L"installGroup",   L"tvAddressLabel", L"status",      L"tvAddressBox",  L"installButton",
        L"progressBar",    L"seriesChoice",   L"manualGroup", L"manual",
    };
    return names[static_cast<int>(control)];
}

// The controls are the standard ones, so that screen readers and test programs know them.
void checkControlKinds(const Window& w) {
    for (const layout::ControlLayout& c : layout::controls) {
        const HWND control = w[c.control];
        const std::wstring cls = classOf(control);
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
        std::wstring expected;
        switch (c.kind) {
            case layout::Kind::radioGroup:
            case layout::Kind::groupBox:
                expected = L"Button";
                check((style & BS_TYPEMASK) == BS_GROUPBOX,
                      std::wstring(controlName(c.control)) + L" is no BS_GROUPBOX");
                break;
            case layout::Kind::button:
                expected = L"Button";
                check((style & BS_TYPEMASK) == BS_PUSHBUTTON,
                      std::wstring(controlName(c.control)) + L" is no BS_PUSHBUTTON");
                break;
            case layout::Kind::addressBox:
                expected = L"ComboBox";
                check((style & 3) == CBS_DROPDOWN,
                      std::wstring(controlName(c.control)) + L" is no drop-down combo box");
                break;
            case layout::Kind::progress:
                expected = L"msctls_progress32";
                break;
            default:
                expected = L"Static";
                check((style & SS_NOPREFIX) != 0,
                      std::wstring(controlName(c.control)) + L" lacks SS_NOPREFIX");
                break;
        }
        check(_wcsicmp(cls.c_str(), expected.c_str()) == 0,
              std::wstring(controlName(c.control)) + L" has class " + cls);
    }
    for (const layout::RadioItem& item : layout::radioItems) {
        const HWND radio = w.radio(item.group, item.index);
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(radio, GWL_STYLE));
        check((style & BS_TYPEMASK) == BS_AUTORADIOBUTTON,
              std::wstring(item.caption) + L" is no BS_AUTORADIOBUTTON");
    }
}

// The glyph comes from the program's resources: a misspelt name would leave it out silently.
// (The class icons cannot be checked from here: Wine answers GetClassLongPtrW(GCLP_HICON) only
// inside the window's own process.)
void checkGlyph(const Window& w) {
    check(send(w[Control::installButton], BM_GETIMAGE, IMAGE_ICON) != 0,
          L"installButton shows no glyph (INSTALL_GLYPH)");
}

struct Texts {
    std::wstring languageChoice, pcAddressGroup, ipNote, refresh, installGroup, tvIp, status,
        install, series, manualGB, manual;
};

Texts expectedTexts(Language language) {
    const std::wstring manual = text(msgManualText, language);
    if (language == Language::russian) {
        return {L"Язык",
                L"IP Адрес ПК",
                L"* Если отображается более одного IP адреса - используйте тот который "
                L"расположен в одной подсети с ТВ",
                L"Обновить IP",
                L"Установка Виджета",
                L"IP Адрес телевизора",
                L"Введите IP вашего ТВ, Выберите его серию, Нажмите \"Установить виджет\"",
                L"Установить Виджет",
                L"Серия ТВ",
                L"Инструкция по установке",
                manual};
    }
    return {L"Language",
            L"IP Address PC",
            L"* If more than one IP address is displayed, use the one located on the same subnet "
            L"as the TV.",
            L"Refresh IP",
            L"Widget Installation",
            L"IP Address TV",
            L"Enter the IP of your TV, Select its series, Click \"Install Widget\"",
            L"Widget Install",
            L"Series TV",
            L"Installation manual",
            manual};
}

void checkLanguageTexts(const Window& w, Language language, const std::wstring& when) {
    const Texts t = expectedTexts(language);
    checkEqual(textOf(w[Control::languageChoice]), t.languageChoice, when + L" languageChoice");
    checkEqual(textOf(w[Control::pcAddressGroup]), t.pcAddressGroup, when + L" pcAddressGroup");
    checkEqual(textOf(w[Control::pcAddressNote]), t.ipNote, when + L" pcAddressNote");
    checkEqual(textOf(w[Control::refreshButton]), t.refresh, when + L" refreshButton");
    checkEqual(textOf(w[Control::installGroup]), t.installGroup, when + L" installGroup");
    checkEqual(textOf(w[Control::tvAddressLabel]), t.tvIp, when + L" tvAddressLabel");
    checkEqual(textOf(w[Control::status]), t.status, when + L" status");
    checkEqual(textOf(w[Control::installButton]), t.install, when + L" installButton");
    checkEqual(textOf(w[Control::seriesChoice]), t.series, when + L" seriesChoice");
    checkEqual(textOf(w[Control::manualGroup]), t.manualGB, when + L" manualGroup");
    const std::wstring manual = textOf(w[Control::manual]);
    check(manual == t.manual, when + L" manual differs from the manual");
    // The shape a user sees: 18 lines split by bare line feeds, sub-items indented by two spaces.
    std::vector<std::wstring> lines;
    for (size_t start = 0;;) {
        const size_t end = manual.find(L'\n', start);
        lines.push_back(manual.substr(start, end - start));
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    check(lines.size() == 18, when + L" manual has " + number(static_cast<long>(lines.size())) +
                                  L" lines, expected 18");
    int indented = 0;
    for (const std::wstring& line : lines) {
        if (line.rfind(L"  ", 0) == 0 && line.size() > 2 && line[2] != L' ')
            ++indented;
    }
    check(indented == 14, when + L" manual has " + number(indented) +
                              L" sub-item lines indented by two spaces, expected 14");
    check(manual.find(L'\r') == std::wstring::npos, when + L" manual contains a carriage return");
}

// Every text of the window, by control id, with the window caption under id 0.
std::map<int, std::wstring> allTexts(const Window& w) {
    std::map<int, std::wstring> texts{{0, textOf(w.main)}};
    for (const auto& [id, control] : w.byId)
        texts[id] = textOf(control);
    return texts;
}

bool checked(HWND radio) {
    return send(radio, BM_GETCHECK) == BST_CHECKED;
}

void checkStartState(const Window& w) {
    checkEqual(textOf(w.main), L"Quorvex Tizen Installer", L"window caption");
    checkLanguageTexts(w, Language::russian, L"at start:");
    checkEqual(textOf(w.radio(Control::languageChoice, 0)), L"РУС", L"languageChoice item 0");
    checkEqual(textOf(w.radio(Control::languageChoice, 1)), L"ENG", L"languageChoice item 1");
    checkEqual(textOf(w.radio(Control::seriesChoice, 0)), L"J,K", L"seriesChoice item 0");
    checkEqual(textOf(w.radio(Control::seriesChoice, 1)), L"M,N,Q,R,T", L"seriesChoice item 1");
    check(checked(w.radio(Control::languageChoice, 0)) &&
              !checked(w.radio(Control::languageChoice, 1)),
          L"at start РУС is not the one selected language");
    check(checked(w.radio(Control::seriesChoice, 0)) && !checked(w.radio(Control::seriesChoice, 1)),
          L"at start J,K is not the one selected series");
    checkEqual(textOf(w[Control::tvAddressBox]), L"", L"tvAddressBox at start");
    check(send(w[Control::progressBar], PBM_GETPOS) == 0, L"progressBar does not start at 0");
    const auto range = send(w[Control::progressBar], PBM_GETRANGE, FALSE);
    check(range == 100, L"progressBar range ends at " + number(static_cast<long>(range)));
}

// The address label holds IPv4 addresses joined by nine spaces (or nothing on a machine
// without a network).
void checkAddressLabel(const std::wstring& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L' ', start);
        if (end == std::wstring::npos)
            end = text.size();
        const std::wstring address = text.substr(start, end - start);
        int dots = 0;
        bool digitsAndDots = !address.empty();
        for (wchar_t c : address) {
            if (c == L'.') {
                ++dots;
            } else if (c < L'0' || c > L'9') {
                digitsAndDots = false;
            }
        }
        check(digitsAndDots && dots == 3,
              L"pcAddresses holds \"" + address + L"\", no IPv4 address");
        if (end == text.size())
            break;
        check(text.compare(end, 9, L"         ") == 0 && end + 9 < text.size() &&
                  text[end + 9] != L' ',
              L"pcAddresses addresses are not separated by exactly nine spaces: \"" + text + L"\"");
        start = end + 9;
    }
}

void typeInto(HWND edit, const std::wstring& keys) {
    for (wchar_t key : keys)
        send(edit, WM_CHAR, key, 1);
}

void checkKeyFilter(const Window& w) {
    const HWND edit = w[Control::tvAddressBox];
    typeInto(edit, L"aZж-, /:+\t");
    checkEqual(textOf(edit), L"", L"tvAddressBox after letters, '-', ',', ' ' and other signs");
    typeInto(edit, L"192.168.0.1");
    checkEqual(textOf(edit), L"192.168.0.1", L"tvAddressBox after digits and full stops");
    typeInto(edit, L"\b");
    checkEqual(textOf(edit), L"192.168.0.", L"tvAddressBox after backspace");
    typeInto(edit, L"x1-0 ,");
    checkEqual(textOf(edit), L"192.168.0.10", L"tvAddressBox after mixed keys");
}

void click(HWND button) {
    send(button, BM_CLICK);
}

void checkLanguageRoundTrip(const Window& w, Screenshots& shots) {
    const std::map<int, std::wstring> before = allTexts(w);

    click(w.radio(Control::languageChoice, 1));
    check(checked(w.radio(Control::languageChoice, 1)) &&
              !checked(w.radio(Control::languageChoice, 0)),
          L"after ENG: ENG is not the one selected language");
    checkLanguageTexts(w, Language::english, L"after ENG:");
    // What must not change with the language.
    const std::map<int, std::wstring> english = allTexts(w);
    const int unchanged[] = {0,
                             layout::controlId(Control::pcAddresses),
                             layout::controlId(Control::tvAddressBox),
                             layout::radioItemId(Control::languageChoice, 0),
                             layout::radioItemId(Control::languageChoice, 1),
                             layout::radioItemId(Control::seriesChoice, 0),
                             layout::radioItemId(Control::seriesChoice, 1)};
    for (int id : unchanged) {
        checkEqual(english.at(id), before.at(id), L"after ENG, control " + number(id));
    }
    int changed = 0;
    for (const auto& [id, text] : english)
        changed += text != before.at(id) ? 1 : 0;
    check(changed == 11, L"after ENG " + number(changed) + L" texts changed, expected 11");
    check(checked(w.radio(Control::seriesChoice, 0)), L"after ENG the TV series changed");
    check(GetNextDlgTabItem(w.main, w[Control::refreshButton], TRUE) ==
              w.radio(Control::languageChoice, 1),
          L"after ENG, Shift+Tab from refreshButton does not go to the selected ENG");
    settle(w.main);
    shots.take(L"en");

    click(w.radio(Control::languageChoice, 0));
    check(checked(w.radio(Control::languageChoice, 0)) &&
              !checked(w.radio(Control::languageChoice, 1)),
          L"after РУС: РУС is not the one selected language");
    const std::map<int, std::wstring> after = allTexts(w);
    for (const auto& [id, text] : before) {
        checkEqual(after.at(id), text, L"after ENG and РУС, control " + number(id));
    }
}

}  // namespace

namespace {

int scaled(int value, int dpi) {
    return MulDiv(value, dpi, 96);
}

RECT clientRectOf(HWND control, HWND main) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::wstring describe(const RECT& r) {
    return L"(" + number(r.left) + L"," + number(r.top) + L")-(" + number(r.right) + L"," +
           number(r.bottom) + L")";
}

void checkGeometry(const Window& w, int dpi) {
    RECT client{};
    GetClientRect(w.main, &client);
    check(client.right == scaled(layout::clientWidth, dpi) &&
              client.bottom == scaled(layout::clientHeight, dpi),
          L"client area is " + number(client.right) + L"x" + number(client.bottom) +
              L", expected " + number(scaled(layout::clientWidth, dpi)) + L"x" +
              number(scaled(layout::clientHeight, dpi)));
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(w.main, GWL_STYLE));
    check((style & WS_THICKFRAME) == 0, L"the window can be resized by dragging (WS_THICKFRAME)");
    const DWORD wanted = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    check((style & wanted) == wanted, L"the window lacks caption, system menu or min/max boxes");

    RECT frame{};
    GetWindowRect(w.main, &frame);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const long dx = (frame.left + frame.right) - (work.left + work.right);
    const long dy = (frame.top + frame.bottom) - (work.top + work.bottom);
    check(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2,
          L"the window " + describe(frame) + L" is not centred on the work area " + describe(work));

    // Every control inside the client area, and inside the group box it belongs to.
    for (const layout::ControlLayout& c : layout::controls) {
        const RECT rect = clientRectOf(w[c.control], w.main);
        check(inside(rect, client), std::wstring(controlName(c.control)) + L" " + describe(rect) +
                                        L" leaves the client area");
        if (c.parent != c.control) {
            const RECT group = clientRectOf(w[c.parent], w.main);
            check(inside(rect, group), std::wstring(controlName(c.control)) + L" " +
                                           describe(rect) + L" leaves its group " +
                                           describe(group));
        }
    }
    RECT previous{};
    for (const layout::RadioItem& item : layout::radioItems) {
        const RECT rect = clientRectOf(w.radio(item.group, item.index), w.main);
        const RECT group = clientRectOf(w[item.group], w.main);
        check(inside(rect, group), std::wstring(item.caption) + L" " + describe(rect) +
                                       L" leaves its group " + describe(group));
        RECT overlap{};
        if (item.index == 1) {
            check(!IntersectRect(&overlap, &rect, &previous),
                  std::wstring(item.caption) + L" overlaps the other item of its group");
        }
        previous = rect;
    }
    // The two series side by side, the two languages one above the other.
    const RECT jk = clientRectOf(w.radio(Control::seriesChoice, 0), w.main);
    const RECT mn = clientRectOf(w.radio(Control::seriesChoice, 1), w.main);
    check(jk.top == mn.top && jk.right <= mn.left, L"the TV series are not in two columns");
}

// Tab and the arrow keys, as IsDialogMessage moves them: the walk the dialog manager takes.
void checkKeyboardOrder(const Window& w) {
    const HWND order[] = {w.radio(Control::languageChoice, 0), w[Control::refreshButton],
                          w[Control::tvAddressBox], w[Control::installButton],
                          w.radio(Control::seriesChoice, 0)};
    const wchar_t* names[] = {L"РУС", L"refreshButton", L"tvAddressBox", L"installButton", L"J,K"};
    for (size_t i = 0; i < std::size(order); ++i) {
        const HWND next = GetNextDlgTabItem(w.main, order[i], FALSE);
        const size_t wanted = (i + 1) % std::size(order);
        check(next == order[wanted],
              std::wstring(L"Tab from ") + names[i] + L" does not go to " + names[wanted]);
    }
    for (Control group : {Control::languageChoice, Control::seriesChoice}) {
        check(GetNextDlgGroupItem(w.main, w.radio(group, 0), FALSE) == w.radio(group, 1) &&
                  GetNextDlgGroupItem(w.main, w.radio(group, 1), FALSE) == w.radio(group, 0),
              std::wstring(L"arrow keys leave the radio group ") + controlName(group));
    }
}

void checkRefresh(const Window& w) {
    const std::wstring before = textOf(w[Control::pcAddresses]);
    checkAddressLabel(before);
    click(w[Control::refreshButton]);
    const std::wstring after = textOf(w[Control::pcAddresses]);
    checkAddressLabel(after);
    checkEqual(after, before, L"pcAddresses after refreshButton on an unchanged machine");

    // A search that ends while the user types refills the list; the typing goes on where it was.
    const HWND edit = w[Control::tvAddressBox];
    send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    typeInto(edit, L"10.0");
    click(w[Control::refreshButton]);
    Sleep(500);  // the search of no network ends at once; its result is posted to the window
    send(w.main, WM_NULL);
    typeInto(edit, L".0.7");
    checkEqual(textOf(edit), L"10.0.0.7", L"tvAddressBox typed across the end of a search");
    send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
}

bool waitFor(HWND window, bool zoomed) {
    const ULONGLONG deadline = GetTickCount64() + settleTimeoutMs;
    while (GetTickCount64() < deadline) {
        send(window, WM_NULL);
        if ((IsZoomed(window) != FALSE) == zoomed)
            return true;
        Sleep(50);
    }
    return false;
}

void checkMaximised(const Window& w, int dpi) {
    RECT normal{};
    GetWindowRect(w.main, &normal);
    PostMessageW(w.main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    check(waitFor(w.main, true), L"the window did not maximise");
    RECT zoomed{};
    GetWindowRect(w.main, &zoomed);
    const long width = zoomed.right - zoomed.left;
    const long height = zoomed.bottom - zoomed.top;
    check(width <= scaled(layout::maxWindowWidth, dpi) &&
              height <= scaled(layout::maxWindowHeight, dpi),
          L"maximised window is " + number(width) + L"x" + number(height) + L", at most " +
              number(scaled(layout::maxWindowWidth, dpi)) + L"x" +
              number(scaled(layout::maxWindowHeight, dpi)) + L" allowed");
    RECT client{};
    GetClientRect(w.main, &client);
    check(client.right == scaled(layout::clientWidth, dpi) &&
              client.bottom == scaled(layout::clientHeight, dpi),
          L"maximised client area is " + number(client.right) + L"x" + number(client.bottom));
    PostMessageW(w.main, WM_SYSCOMMAND, SC_RESTORE, 0);
    check(waitFor(w.main, false), L"the window did not restore");
    // Wine clears the maximised state before it moves the window back: give the move its time.
    RECT restored{};
    for (const ULONGLONG until = GetTickCount64() + settleTimeoutMs; GetTickCount64() < until;
         Sleep(50)) {
        send(w.main, WM_NULL);
        GetWindowRect(w.main, &restored);
        if (EqualRect(&restored, &normal))
            break;
    }
    check(EqualRect(&restored, &normal),
          L"restored window " + describe(restored) + L" differs from " + describe(normal));
}

void checkCloses(Program& program) {
    PostMessageW(program.window(), WM_CLOSE, 0, 0);
    const bool ended =
        WaitForSingleObject(program.process(), test_time::limitMs(60000)) == WAIT_OBJECT_0;
    check(ended, L"the program did not end after WM_CLOSE");
    DWORD code = STILL_ACTIVE;
    if (ended)
        GetExitCodeProcess(program.process(), &code);
    check(!ended || code == 0, L"the program ended with exit code " + number(code));
}

int run(int argc, wchar_t** argv) {
    if (argc != 5) {
        say(L"usage: quorvex_gui_driver <QuorvexInstaller.exe> <dpi> <sync-dir> <shot-prefix>");
        return 2;
    }
    const int dpi = _wtoi(argv[2]);
    Screenshots shots(argv[3], argv[4]);
    Program program(argv[1]);
    const HWND main = program.waitForWindow();
    const Window w = walkControls(main);
    check(w.byId.size() == layout::controls.size() + layout::radioItems.size(),
          L"the window has " + number(static_cast<long>(w.byId.size())) + L" controls, expected " +
              number(static_cast<long>(layout::controls.size() + layout::radioItems.size())));
    checkNoMessageBox(program, L"at start");

    checkControlKinds(w);
    checkGlyph(w);
    checkStartState(w);
    checkGeometry(w, dpi);
    checkKeyboardOrder(w);
    settle(main);
    shots.take(L"ru");

    checkKeyFilter(w);
    checkRefresh(w);
    checkLanguageRoundTrip(w, shots);
    checkMaximised(w, dpi);
    checkNoMessageBox(program, L"at the end");
    checkCloses(program);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        const int status = run(argc, argv);
        say(status == 0 ? L"PASS: every check of the window passed"
                        : L"FAILED: " + number(failures) + L" checks");
        return status;
    } catch (const Abort& e) {
        say(L"FAIL: " + std::wstring(e.what(), e.what() + std::strlen(e.what())));
        return 1;
    } catch (const std::exception& e) {
        say(L"FAIL: unexpected exception: " +
            std::wstring(e.what(), e.what() + std::strlen(e.what())));
        return 1;
    }
}
