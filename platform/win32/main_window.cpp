#include "platform/win32/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

#include "platform/error.h"
#include "platform/win32/form_layout.h"
#include "platform/win32/window_dpi.h"

namespace platform::win32 {
namespace {

constexpr DWORD windowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD windowExStyle = 0;
constexpr COLORREF red = RGB(255, 0, 0);
constexpr UINT_PTR editSubclassId = 1;
// Posted when the address box's list was used: the combo box puts an item's whole label into its
// edit after it reports the pick, so the address goes in afterwards.
constexpr UINT addressPickedMessage = WM_APP + 2;
// The address box's frame around its edit, at 96 DPI.
constexpr int addressBoxFrame = 6;

bool isRadioGroup(Control control) {
    return control == Control::languageChoice || control == Control::seriesChoice;
}

size_t radioSlot(Control group, int index) {
    return static_cast<size_t>((group == Control::languageChoice ? 0 : 2) + index);
}

DWORD controlStyle(layout::Kind kind) {
    using layout::Kind;
    switch (kind) {
        case Kind::radioGroup:
        case Kind::groupBox:
            // Clipped by the controls inside, which sit above it in the z-order.
            return BS_GROUPBOX | WS_CLIPSIBLINGS;
        case Kind::label:
            return SS_LEFT | SS_NOPREFIX;
        case Kind::labelCentred:
            return SS_CENTER | SS_NOPREFIX;
        case Kind::labelRight:
            return SS_RIGHT | SS_NOPREFIX;
        case Kind::statusText:
            // A static cannot centre vertically and wrap at once; WM_DRAWITEM does both.
            return SS_OWNERDRAW | SS_NOPREFIX;
        case Kind::button:
            return BS_PUSHBUTTON | WS_TABSTOP;
        case Kind::addressBox:
            // The list draws its items itself, in a smaller font than the edit's.
            return CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS |
                   WS_VSCROLL | WS_TABSTOP;
        case Kind::progress:
            return 0;
    }
    return 0;
}

const wchar_t* controlClass(layout::Kind kind) {
    using layout::Kind;
    switch (kind) {
        case Kind::radioGroup:
        case Kind::groupBox:
        case Kind::button:
            return WC_BUTTONW;
        case Kind::addressBox:
            return WC_COMBOBOXW;
        case Kind::progress:
            return PROGRESS_CLASSW;
        default:
            return WC_STATICW;
    }
}

HWND createChild(HWND parent, const wchar_t* className, const wchar_t* caption, DWORD style,
                 DWORD exStyle, int id) {
    const HWND child = CreateWindowExW(
        exStyle, className, caption, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (child == nullptr)
        throw Error(L"A control of the main window could not be created.");
    return child;
}

}  // namespace

MainWindow::MainWindow(Application& app) : app_(app) {}

MainWindow::~MainWindow() {
    // The form may already be gone: nothing is reported while the window is torn down here.
    events_ = nullptr;
    if (window_ != nullptr)
        DestroyWindow(window_);
}

void MainWindow::registerClass() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = layout::windowClass;
    // Shared icons live as long as the module, as class icons must; a missing one leaves nullptr.
    windowClass.hIcon =
        static_cast<HICON>(LoadImageW(instance, L"ICON_1", IMAGE_ICON, 64, 64, LR_SHARED));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw Error(L"The main window's class could not be registered.");
    }
}

void MainWindow::create(FormEvents& events, int showCommand) {
    events_ = &events;
    registerClass();
    if (CreateWindowExW(windowExStyle, layout::windowClass, layout::windowCaption, windowStyle,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                        nullptr, GetModuleHandleW(nullptr), this) == nullptr) {
        throw Error(L"The main window could not be created.");
    }
    dpi_ = dpiForWindow(window_);
    createControls();
    loadFonts();
    loadGlyph();
    layoutControls();

    const RECT frame = windowRectForClient(scaleForDpi(layout::clientWidth, dpi_),
                                           scaleForDpi(layout::clientHeight, dpi_), windowStyle,
                                           windowExStyle, dpi_);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    app_.setMainWindow(window_);
    report([&] { events.created(); });
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    SetFocus(radioItem(Control::languageChoice, itemIndex(Control::languageChoice)));
}

void MainWindow::createControls() {
    for (const layout::ControlLayout& c : layout::controls) {
        const HWND child =
            createChild(window_, controlClass(c.kind), c.caption, controlStyle(c.kind) | WS_GROUP,
                        0, layout::controlId(c.control));
        controls_[static_cast<size_t>(c.control)] = child;
        if (c.kind == layout::Kind::radioGroup) {
            for (const layout::RadioItem& item : layout::radioItems) {
                if (item.group != c.control)
                    continue;
                // WS_GROUP on the first item and on the control after the group keeps the arrow
                // keys inside the pair.
                const DWORD style = BS_AUTORADIOBUTTON | (item.index == 0 ? WS_GROUP : 0);
                radioItems_[radioSlot(item.group, item.index)] =
                    createChild(window_, WC_BUTTONW, item.caption, style, 0,
                                layout::radioItemId(item.group, item.index));
            }
            SendMessageW(radioItem(c.control, 0), BM_SETCHECK, BST_CHECKED, 0);
            markTabStop(c.control);
        }
        if (c.kind == layout::Kind::addressBox) {
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            if (!GetComboBoxInfo(child, &info) || info.hwndItem == nullptr)
                throw Error(L"The address box has no edit control.");
            addressEdit_ = info.hwndItem;
            SetWindowSubclass(addressEdit_, editProc, editSubclassId,
                              reinterpret_cast<DWORD_PTR>(this));
        }
        if (c.kind == layout::Kind::progress) {
            SendMessageW(child, PBM_SETRANGE32, 0, 100);
            SendMessageW(child, PBM_SETPOS, 0, 0);
        }
    }
    // Group boxes go behind their contents. Innermost first from the end, so that the series
    // group ends up above the install group that holds it. Tab order is unaffected: group boxes
    // are no tab stops.
    for (auto c = layout::controls.rbegin(); c != layout::controls.rend(); ++c) {
        if (c->kind == layout::Kind::radioGroup || c->kind == layout::Kind::groupBox) {
            SetWindowPos(control(c->control), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    // The address label's box reaches 4 px into the note below it; the note must stay on top
    // when only the address is repainted.
    const HWND address = control(Control::pcAddresses);
    SetWindowLongPtrW(address, GWL_STYLE, GetWindowLongPtrW(address, GWL_STYLE) | WS_CLIPSIBLINGS);
    SetWindowPos(address, control(Control::pcAddressNote), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    languageIndex_ = itemIndex(Control::languageChoice);
}

HFONT MainWindow::fontFor(int height, bool bold) const {
    for (const FontEntry& entry : fonts_) {
        if (entry.height == height && entry.bold == bold)
            return entry.font.get();
    }
    return nullptr;
}

void MainWindow::loadFonts() {
    std::vector<FontEntry> fonts;
    auto add = [&](const layout::Font& spec) {
        for (const FontEntry& entry : fonts) {
            if (entry.height == spec.height && entry.bold == spec.bold)
                return;
        }
        LOGFONTW font{};
        font.lfHeight = scaleForDpi(spec.height, dpi_);
        font.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfQuality = CLEARTYPE_QUALITY;
        lstrcpynW(font.lfFaceName, layout::fontFace, LF_FACESIZE);
        fonts.push_back({spec.height, spec.bold, FontHandle(CreateFontIndirectW(&font))});
    };
    add(layout::defaultFont);
    add(layout::addressListFont);
    for (const layout::ControlLayout& c : layout::controls)
        add(c.font);

    std::swap(fonts_, fonts);
    for (const layout::ControlLayout& c : layout::controls) {
        const HWND child = control(c.control);
        if (child == nullptr)
            continue;
        const WPARAM font = reinterpret_cast<WPARAM>(fontFor(c.font.height, c.font.bold));
        SendMessageW(child, WM_SETFONT, font, TRUE);
        if (isRadioGroup(c.control)) {
            for (int index = 0; index < 2; ++index) {
                SendMessageW(radioItem(c.control, index), WM_SETFONT, font, TRUE);
            }
        }
    }
    // The old fonts (now in `fonts`) are deleted here, after every child has let go of them.
}

void MainWindow::loadGlyph() {
    const int size = scaleForDpi(24, dpi_);
    IconHandle glyph(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"INSTALL_GLYPH", IMAGE_ICON, size, size, 0)));
    SendMessageW(control(Control::installButton), BM_SETIMAGE, IMAGE_ICON,
                 reinterpret_cast<LPARAM>(glyph.get()));
    glyph_ = std::move(glyph);
}

void MainWindow::layoutControls() {
    auto place = [&](HWND child, const layout::Box& box) {
        const int left = scaleForDpi(box.left, dpi_);
        const int top = scaleForDpi(box.top, dpi_);
        SetWindowPos(child, nullptr, left, top, scaleForDpi(box.left + box.width, dpi_) - left,
                     scaleForDpi(box.top + box.height, dpi_) - top, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    for (const layout::ControlLayout& c : layout::controls) {
        place(control(c.control), layout::windowBox(c.control));
    }
    for (const layout::RadioItem& item : layout::radioItems) {
        place(radioItem(item.group, item.index), layout::windowBox(item));
    }
    sizeAddressBox();
    centreAddressText();
    InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::sizeAddressBox() {
    // Closed, the box fills its place in the layout; its height as a window is that of the
    // open list.
    const HWND box = control(Control::tvAddressBox);
    const layout::Box place = layout::windowBox(Control::tvAddressBox);
    SendMessageW(box, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                 scaleForDpi(place.height - addressBoxFrame, dpi_));
    SendMessageW(box, CB_SETITEMHEIGHT, 0, scaleForDpi(layout::addressListItemHeight, dpi_));
    SendMessageW(box, CB_SETDROPPEDWIDTH, scaleForDpi(layout::addressListWidth, dpi_), 0);
    const int left = scaleForDpi(place.left, dpi_);
    const int top = scaleForDpi(place.top, dpi_);
    SetWindowPos(
        box, nullptr, left, top, scaleForDpi(place.left + place.width, dpi_) - left,
        scaleForDpi(place.height + layout::addressListItems * layout::addressListItemHeight + 4,
                    dpi_),
        SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::onMeasureItem(MEASUREITEMSTRUCT& item) const {
    if (item.CtlType != ODT_COMBOBOX)
        return;
    // Asked while the box is being created, before sizeAddressBox() sets the same heights.
    item.itemHeight = static_cast<UINT>(
        scaleForDpi(item.itemID == static_cast<UINT>(-1)
                        ? layout::layoutOf(Control::tvAddressBox).box.height - addressBoxFrame
                        : layout::addressListItemHeight,
                    dpi_));
}

HWND MainWindow::radioItem(Control group, int index) const {
    return radioItems_[radioSlot(group, index)];
}

template <typename Handler>
void MainWindow::report(Handler&& handler) noexcept {
    std::wstring message;
    try {
        handler();
        return;
    } catch (const std::exception& e) {
        try {
            message = exceptionMessage(e);
        } catch (...) {
        }
    } catch (...) {
    }
    showError(message);
}

LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->handleMessage(message, wParam, lParam);
    } catch (...) {
        // Only the window's own bookkeeping gets here (events are caught in report()).
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (lParam != 0)
                onCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_DRAWITEM:
            onDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_MEASUREITEM:
            onMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case Application::postedMessage:
            report([&] { app_.runPosted(); });
            return 0;
        case addressPickedMessage:
            onAddressPicked();
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
            return onControlColour(message, reinterpret_cast<HDC>(wParam),
                                   reinterpret_cast<HWND>(lParam));
        case WM_GETMINMAXINFO:
            onMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_DPICHANGED:
            onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus != nullptr && IsChild(window_, focus))
                    lastFocus_ = focus;
            }
            break;
        case WM_SETFOCUS:
            // Keyboard users come back to the control they left, not to the bare window.
            if (lastFocus_ != nullptr && IsWindow(lastFocus_)) {
                SetFocus(lastFocus_);
                return 0;
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            app_.setMainWindow(nullptr);
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            controls_.fill(nullptr);
            radioItems_.fill(nullptr);
            addressEdit_ = nullptr;
            {
                const HWND window = std::exchange(window_, nullptr);
                return DefWindowProcW(window, message, wParam, lParam);
            }
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::onCommand(int id, int code) {
    if (id == layout::controlId(Control::tvAddressBox)) {
        // However the list closes, the combo box may put a whole label into the edit: the
        // address takes its place once the combo box is done.
        if (code == CBN_DROPDOWN || code == CBN_SELCHANGE || code == CBN_CLOSEUP ||
            code == CBN_SELENDOK || code == CBN_SELENDCANCEL) {
            PostMessageW(window_, addressPickedMessage, 0, 0);
        }
        if (code == CBN_EDITCHANGE)
            centreAddressText();
        return;
    }
    if (code != BN_CLICKED)
        return;
    for (Control group : {Control::languageChoice, Control::seriesChoice}) {
        if (id == layout::radioItemId(group, 0) || id == layout::radioItemId(group, 1)) {
            markTabStop(group);
        }
    }
    if (events_ == nullptr)
        return;
    if (id == layout::controlId(Control::refreshButton)) {
        report([&] { events_->refreshClicked(); });
    } else if (id == layout::controlId(Control::installButton)) {
        report([&] { events_->installClicked(); });
    } else if (id == layout::radioItemId(Control::languageChoice, 0) ||
               id == layout::radioItemId(Control::languageChoice, 1)) {
        // A click on the item that is already selected changes nothing and is not reported.
        const int index = itemIndex(Control::languageChoice);
        if (index != languageIndex_) {
            languageIndex_ = index;
            report([&] { events_->languageChosen(); });
        }
    }
}

void MainWindow::markTabStop(Control group) {
    // Tab enters a radio group at its selected item, as in a dialog.
    const int selected = itemIndex(group);
    for (int index = 0; index < 2; ++index) {
        const HWND item = radioItem(group, index);
        const LONG_PTR style = GetWindowLongPtrW(item, GWL_STYLE);
        SetWindowLongPtrW(item, GWL_STYLE,
                          index == selected ? style | WS_TABSTOP : style & ~LONG_PTR{WS_TABSTOP});
    }
}

void MainWindow::onDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlType == ODT_COMBOBOX) {
        drawAddressChoice(item);
        return;
    }
    if (item.hwndItem != control(Control::status))
        return;
    const HDC dc = item.hDC;
    RECT area = item.rcItem;
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    const std::wstring caption = text(Control::status);
    const layout::Font& spec = layout::layoutOf(Control::status).font;
    const HGDIOBJ oldFont = SelectObject(dc, fontFor(spec.height, spec.bold));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(item.hwndItem) ? red : GetSysColor(COLOR_GRAYTEXT));
    constexpr UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    RECT measured = area;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured,
              format | DT_CALCRECT);
    const int free = (area.bottom - area.top) - (measured.bottom - measured.top);
    if (free > 0)
        area.top += free / 2;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &area, format);
    SelectObject(dc, oldFont);
}

void MainWindow::drawAddressChoice(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= choices_.size())
        return;
    const std::wstring& label = choices_[item.itemID].label;
    const HGDIOBJ oldFont =
        SelectObject(dc, fontFor(layout::addressListFont.height, layout::addressListFont.bold));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text = item.rcItem;
    text.left += scaleForDpi(6, dpi_);
    DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);
}

void MainWindow::centreAddressText() {
    // A combo box's edit cannot be given ES_CENTER; a left margin of half the free width
    // centres the text all the same, and shrinks to nothing once the text fills the box.
    if (addressEdit_ == nullptr)
        return;
    const std::wstring shown = text(Control::tvAddressBox);
    RECT area{};
    GetClientRect(addressEdit_, &area);
    const HDC dc = GetDC(addressEdit_);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(addressEdit_, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(addressEdit_, dc);
    const int margin = std::max<int>(0, (area.right - area.left - size.cx - 4) / 2);
    SendMessageW(addressEdit_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                 MAKELPARAM(margin, 0));
    InvalidateRect(addressEdit_, nullptr, TRUE);
}

void MainWindow::onAddressPicked() {
    const std::wstring shown = text(Control::tvAddressBox);
    for (const AddressChoice& choice : choices_) {
        if (shown == choice.label) {
            SetWindowTextW(addressEdit_, choice.address.c_str());
            SendMessageW(addressEdit_, EM_SETSEL, 0, -1);
            centreAddressText();
            return;
        }
    }
}

void MainWindow::setAddressChoices(const std::vector<AddressChoice>& choices) {
    const HWND box = control(Control::tvAddressBox);
    // Emptying the list must not take what the user typed with it, nor move the caret: a search
    // may end while the user types.
    const std::wstring typed = text(Control::tvAddressBox);
    DWORD selStart = 0;
    DWORD selEnd = 0;
    SendMessageW(addressEdit_, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                 reinterpret_cast<LPARAM>(&selEnd));
    choices_ = choices;
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const AddressChoice& choice : choices_) {
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.label.c_str()));
    }
    SetWindowTextW(addressEdit_, typed.c_str());
    SendMessageW(addressEdit_, EM_SETSEL, selStart, selEnd);
    centreAddressText();
}

LRESULT MainWindow::onControlColour(UINT message, HDC dc, HWND child) {
    const bool live = IsWindowEnabled(child) != FALSE;
    if (child == addressEdit_) {
        if (!live) {
            return DefWindowProcW(window_, message, reinterpret_cast<WPARAM>(dc),
                                  reinterpret_cast<LPARAM>(child));
        }
        SetTextColor(dc, red);
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    // A disabled edit asks with WM_CTLCOLORSTATIC and keeps the system's grey.
    if (message == WM_CTLCOLOREDIT || child == control(Control::tvAddressBox)) {
        return DefWindowProcW(window_, message, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(child));
    }
    SetTextColor(
        dc, child == control(Control::pcAddresses) && live ? red : GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void MainWindow::onMinMaxInfo(MINMAXINFO& info) const {
    const UINT dpi = dpiForWindow(window_);
    const RECT fit = windowRectForClient(scaleForDpi(layout::clientWidth, dpi),
                                         scaleForDpi(layout::clientHeight, dpi), windowStyle,
                                         windowExStyle, dpi);
    const POINT fitSize{fit.right - fit.left, fit.bottom - fit.top};
    // Maximising keeps the layout: the window only moves. The tracking bound never goes below
    // what the client area needs, or a frame wider or a caption taller than the ones the bound
    // was measured with would squeeze the layout.
    info.ptMaxSize = fitSize;
    info.ptMaxTrackSize = {std::max<LONG>(scaleForDpi(layout::maxWindowWidth, dpi), fitSize.x),
                           std::max<LONG>(scaleForDpi(layout::maxWindowHeight, dpi), fitSize.y)};
}

void MainWindow::onDpiChanged(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    loadFonts();
    loadGlyph();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    layoutControls();
}

LRESULT CALLBACK MainWindow::editProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self) {
    try {
        if (message == WM_CHAR) {
            return reinterpret_cast<MainWindow*>(self)->handleEditChar(edit, wParam, lParam);
        }
        if (message == WM_NCDESTROY)
            RemoveWindowSubclass(edit, editProc, id);
    } catch (...) {
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

LRESULT MainWindow::handleEditChar(HWND edit, WPARAM wParam, LPARAM lParam) {
    auto key = static_cast<wchar_t>(wParam);
    if (events_ != nullptr)
        report([&] { events_->addressKeyTyped(key); });
    // The editing shortcuts the filter lets through are carried out here: not every edit control
    // acts on their characters (Ctrl+A selects nothing in a single-line one before Windows 10).
    switch (key) {
        case L'\0':
            return 0;
        case 0x01:  // Ctrl+A
            SendMessageW(edit, EM_SETSEL, 0, -1);
            return 0;
        case 0x03:  // Ctrl+C
            SendMessageW(edit, WM_COPY, 0, 0);
            return 0;
        case 0x16:  // Ctrl+V
            SendMessageW(edit, WM_PASTE, 0, 0);
            return 0;
        case 0x18:  // Ctrl+X
            SendMessageW(edit, WM_CUT, 0, 0);
            return 0;
        case 0x1A:  // Ctrl+Z
            SendMessageW(edit, EM_UNDO, 0, 0);
            return 0;
        default:
            return DefSubclassProc(edit, WM_CHAR, static_cast<WPARAM>(key), lParam);
    }
}

std::wstring MainWindow::text(Control which) const {
    const HWND child = control(which);
    const int length = GetWindowTextLengthW(child);
    if (length <= 0)
        return {};
    std::wstring result(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(child, result.data(), length + 1);
    result.resize(static_cast<size_t>(std::max(copied, 0)));
    return result;
}

void MainWindow::setText(Control which, const std::wstring& text) {
    const HWND child = control(which);
    SetWindowTextW(child, text.c_str());
    if (which == Control::tvAddressBox)
        centreAddressText();
    // The owner-drawn status text is painted from the window text, which a static does not
    // repaint by itself.
    if (which == Control::status)
        InvalidateRect(child, nullptr, TRUE);
}

int MainWindow::itemIndex(Control radioGroup) const {
    if (!isRadioGroup(radioGroup)) {
        throw std::logic_error("itemIndex of a control that is not a radio group");
    }
    for (int index = 0; index < 2; ++index) {
        if (SendMessageW(radioItem(radioGroup, index), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            return index;
        }
    }
    return -1;
}

int MainWindow::position() const {
    return static_cast<int>(SendMessageW(control(Control::progressBar), PBM_GETPOS, 0, 0));
}

void MainWindow::setPosition(int position) {
    SendMessageW(control(Control::progressBar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

bool MainWindow::enabled(Control which) const {
    return IsWindowEnabled(control(which)) != FALSE;
}

void MainWindow::setEnabled(Control which, bool enabled) {
    EnableWindow(control(which), enabled ? TRUE : FALSE);
    if (isRadioGroup(which)) {
        for (int index = 0; index < 2; ++index) {
            EnableWindow(radioItem(which, index), enabled ? TRUE : FALSE);
        }
    }
}

void MainWindow::showMessage(const std::wstring& text) {
    MessageBoxW(window_, text.c_str(), layout::windowCaption, MB_OK | MB_ICONINFORMATION);
}

bool MainWindow::askYesNo(const std::wstring& text) {
    return MessageBoxW(window_, text.c_str(), layout::windowCaption,
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON1) == IDYES;
}

void MainWindow::setItemIndex(Control radioGroup, int index) {
    if (!isRadioGroup(radioGroup) || index < 0 || index > 1)
        throw std::logic_error("setItemIndex of a control that is not a radio group");
    for (int item = 0; item < 2; ++item) {
        SendMessageW(radioItem(radioGroup, item), BM_SETCHECK,
                     item == index ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    markTabStop(radioGroup);
    if (radioGroup == Control::languageChoice)
        languageIndex_ = index;
}

void MainWindow::showError(const std::wstring& text) {
    MessageBoxW(window_, text.c_str(), layout::windowCaption, MB_OK | MB_ICONERROR);
}

}  // namespace platform::win32
