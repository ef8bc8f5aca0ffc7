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

}  // namespace

MainWindow::MainWindow(Application& app) : app_(app) {}

MainWindow::~MainWindow() {
    // The form may already be gone: nothing is reported while the window is torn down here.
    events_ = nullptr;
    if (window_ != nullptr)
        DestroyWindow(window_);
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
    controls_.loadFonts(dpi_);
    controls_.loadGlyph(dpi_);
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
    SetFocus(controls_.radioItem(Control::languageChoice, itemIndex(Control::languageChoice)));
}

void MainWindow::createControls() {
    controls_.create(window_);
    addressBox_.attach(window_, control(Control::tvAddressBox), [this](wchar_t& key) {
        if (events_ != nullptr)
            report([&] { events_->addressKeyTyped(key); });
    });
    languageIndex_ = itemIndex(Control::languageChoice);
}

void MainWindow::layoutControls() {
    controls_.place(dpi_);
    addressBox_.place(dpi_);
    addressBox_.centreText();
    InvalidateRect(window_, nullptr, TRUE);
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
        case WM_MEASUREITEM: {
            auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (item.CtlType == ODT_COMBOBOX)
                AddressBox::measureItem(item, dpi_);
            return TRUE;
        }
        case Application::postedMessage:
            report([&] { app_.runPosted(); });
            return 0;
        case AddressBox::pickedMessage:
            addressBox_.showPickedAddress();
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
            RemovePropW(window_, layout::searchingProperty);
            app_.setMainWindow(nullptr);
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            controls_.forget();
            addressBox_.detach();
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
        addressBox_.notified(code);
        return;
    }
    if (code != BN_CLICKED)
        return;
    for (Control group : {Control::languageChoice, Control::seriesChoice}) {
        if (id == layout::radioItemId(group, 0) || id == layout::radioItemId(group, 1)) {
            controls_.markTabStop(group);
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

void MainWindow::onDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlType == ODT_COMBOBOX) {
        addressBox_.drawItem(item, controls_.font(layout::addressListFont), dpi_);
        return;
    }
    if (item.hwndItem != control(Control::status))
        return;
    const HDC dc = item.hDC;
    RECT area = item.rcItem;
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    const std::wstring caption = text(Control::status);
    const HGDIOBJ oldFont =
        SelectObject(dc, controls_.font(layout::layoutOf(Control::status).font));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(item.hwndItem) ? red : GetSysColor(COLOR_GRAYTEXT));
    constexpr UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    RECT measured = area;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured,
              format | DT_CALCRECT);
    // A text too long for the status font (a wait's advice with its time) gets the smaller one
    // rather than losing its last line.
    if (measured.bottom - measured.top > area.bottom - area.top) {
        if (const HFONT smaller = controls_.font(layout::statusSmallFont)) {
            SelectObject(dc, smaller);
            measured = area;
            DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured,
                      format | DT_CALCRECT);
        }
    }
    const int free = (area.bottom - area.top) - (measured.bottom - measured.top);
    if (free > 0)
        area.top += free / 2;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &area, format);
    SelectObject(dc, oldFont);
}

void MainWindow::setAddressChoices(const std::vector<AddressChoice>& choices) {
    addressBox_.setChoices(choices);
}

void MainWindow::setSearching(bool searching) {
    if (window_ == nullptr)
        return;
    if (searching)
        SetPropW(window_, layout::searchingProperty, reinterpret_cast<HANDLE>(1));
    else
        RemovePropW(window_, layout::searchingProperty);
}

LRESULT MainWindow::onControlColour(UINT message, HDC dc, HWND child) {
    const bool live = IsWindowEnabled(child) != FALSE;
    if (child == addressBox_.edit()) {
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
    controls_.loadFonts(dpi_);
    controls_.loadGlyph(dpi_);
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    layoutControls();
}

std::wstring MainWindow::text(Control which) const {
    return windowText(control(which));
}

void MainWindow::setText(Control which, const std::wstring& text) {
    const HWND child = control(which);
    SetWindowTextW(child, text.c_str());
    if (which == Control::tvAddressBox)
        addressBox_.centreText();
    // The owner-drawn status text is painted from the window text, which a static does not
    // repaint by itself.
    if (which == Control::status)
        InvalidateRect(child, nullptr, TRUE);
}

int MainWindow::itemIndex(Control radioGroup) const {
    if (!ControlSet::isRadioGroup(radioGroup)) {
        throw std::logic_error("itemIndex of a control that is not a radio group");
    }
    return controls_.selected(radioGroup);
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
    controls_.setEnabled(which, enabled);
}

void MainWindow::showMessage(const std::wstring& text) {
    MessageBoxW(window_, text.c_str(), layout::windowCaption, MB_OK | MB_ICONINFORMATION);
}

bool MainWindow::askYesNo(const std::wstring& text) {
    return MessageBoxW(window_, text.c_str(), layout::windowCaption,
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON1) == IDYES;
}

Answer MainWindow::askYesNoCancel(const std::wstring& text) {
    switch (MessageBoxW(window_, text.c_str(), layout::windowCaption,
                        MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON1)) {
        case IDYES:
            return Answer::yes;
        case IDNO:
            return Answer::no;
        default:
            return Answer::cancel;  // Cancel, Esc, the close box, or a box that failed
    }
}

void MainWindow::setItemIndex(Control radioGroup, int index) {
    if (!ControlSet::isRadioGroup(radioGroup) || index < 0 || index > 1)
        throw std::logic_error("setItemIndex of a control that is not a radio group");
    controls_.select(radioGroup, index);
    if (radioGroup == Control::languageChoice)
        languageIndex_ = index;
}

void MainWindow::showError(const std::wstring& text) {
    MessageBoxW(window_, text.c_str(), layout::windowCaption, MB_OK | MB_ICONERROR);
}

}  // namespace platform::win32
