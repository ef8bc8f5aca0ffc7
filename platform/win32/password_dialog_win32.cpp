// Win32ProfileDialogs::askPasswords: one small modal dialog, built in code and laid out in 96-DPI
// units scaled by the dialog's DPI. The passwords stay in the edit boxes only while it is open:
// both boxes are overwritten and emptied before it goes, and every copy read out is wiped.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "platform/win32/form_layout.h"
#include "platform/win32/profile_dialogs_win32.h"
#include "platform/win32/window_dpi.h"
#include "platform/win32/window_handles.h"

namespace platform::win32 {
namespace {

namespace ids = passwordDialog;

// Layout in 96-DPI units.
constexpr int clientWidth = 440;
constexpr int margin = 14;
constexpr int labelHeight = 20;
constexpr int boxHeight = 27;
constexpr int gap = 10;
constexpr int buttonWidth = 100;
constexpr int buttonHeight = 30;
constexpr int fontHeight = -15;

constexpr DWORD dialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

// A copy of a box's text that is wiped when it goes.
class BoxText {
  public:
    explicit BoxText(HWND box) : units_(static_cast<size_t>(GetWindowTextLengthW(box)) + 1) {
        const int length = GetWindowTextW(box, units_.data(), static_cast<int>(units_.size()));
        units_.resize(static_cast<size_t>(length) + 1);
    }
    BoxText(const BoxText&) = delete;
    BoxText& operator=(const BoxText&) = delete;
    ~BoxText() { SecureZeroMemory(units_.data(), units_.size() * sizeof(wchar_t)); }
    const wchar_t* c_str() const { return units_.data(); }
    std::wstring_view view() const { return {units_.data(), units_.size() - 1}; }

  private:
    std::vector<wchar_t> units_;
};

class PasswordDialog {
  public:
    explicit PasswordDialog(const PasswordDialogTexts& texts) : texts_(texts) {}

    static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_INITDIALOG)
            SetWindowLongPtrW(dialog, DWLP_USER, l);
        auto* self = reinterpret_cast<PasswordDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (self == nullptr)
            return FALSE;
        try {
            return self->handle(dialog, message, w, l);
        } catch (...) {
            // Kept for the caller: no exception crosses the dialog manager.
            self->failure_ = std::current_exception();
            self->wipeBoxes();
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
    }

    std::optional<ProfilePasswords> result() {
        if (failure_)
            std::rethrow_exception(failure_);
        return std::move(result_);
    }

  private:
    INT_PTR handle(HWND dialog, UINT message, WPARAM w, LPARAM l) {
        switch (message) {
            case WM_INITDIALOG:
                create(dialog);
                return FALSE;  // the focus is set
            case WM_DPICHANGED: {
                dpi_ = HIWORD(w);
                layout();
                const auto* suggested = reinterpret_cast<const RECT*>(l);
                SetWindowPos(dialog, nullptr, suggested->left, suggested->top,
                             suggested->right - suggested->left, suggested->bottom - suggested->top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
                return TRUE;
            }
            case WM_COMMAND:
                return command(LOWORD(w), HIWORD(w));
            default:
                return FALSE;
        }
    }

    INT_PTR command(int id, int code) {
        if (id == IDOK || id == IDCANCEL) {
            if (id == IDOK) {
                const BoxText author(author_);
                const BoxText distributor(distributor_);
                result_ = ProfilePasswords{Secret(author.view()), Secret(distributor.view())};
            }
            wipeBoxes();
            EndDialog(dialog_, id);
            return TRUE;
        }
        if (code != EN_CHANGE || closing_)
            return FALSE;
        if (id == ids::authorBoxId && !distributorEdited_) {
            // The distributor's password is most often the author's: it follows until edited.
            const BoxText author(author_);
            mirroring_ = true;
            SetWindowTextW(distributor_, author.c_str());
            mirroring_ = false;
        } else if (id == ids::distributorBoxId && !mirroring_) {
            distributorEdited_ = true;
        }
        return TRUE;
    }

    void create(HWND dialog) {
        dialog_ = dialog;
        dpi_ = dpiForWindow(dialog);
        SetWindowTextW(dialog, texts_.title.c_str());
        // Creation order is the tab order.
        intro_ = child(WC_STATICW, texts_.intro, SS_LEFT | SS_NOPREFIX, 0, ids::introId);
        authorLabel_ = child(WC_STATICW, texts_.author, SS_LEFT, 0, ids::authorLabelId);
        author_ = child(WC_EDITW, L"", ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                        ids::authorBoxId);
        distributorLabel_ =
            child(WC_STATICW, texts_.distributor, SS_LEFT, 0, ids::distributorLabelId);
        distributor_ = child(WC_EDITW, L"", ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP,
                             WS_EX_CLIENTEDGE, ids::distributorBoxId);
        ok_ = child(WC_BUTTONW, texts_.ok, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, IDOK);
        cancel_ = child(WC_BUTTONW, texts_.cancel, BS_PUSHBUTTON | WS_TABSTOP, 0, IDCANCEL);
        layout();
        centreOnOwner();
        SetFocus(author_);
    }

    HWND child(const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle,
               int id) {
        const HWND window = CreateWindowExW(
            exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, dialog_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
        if (window == nullptr)
            throw Error(L"A control of the password dialog could not be created.");
        return window;
    }

    int scale(int value) const { return scaleForDpi(value, dpi_); }

    int introHeight(int width) const {
        const HDC dc = GetDC(dialog_);
        const HGDIOBJ old = SelectObject(dc, font_.get());
        RECT box{0, 0, width, 0};
        DrawTextW(dc, texts_.intro.c_str(), static_cast<int>(texts_.intro.size()), &box,
                  DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(dialog_, dc);
        return box.bottom;
    }

    void layout() {
        LOGFONTW font{};
        font.lfHeight = scale(fontHeight);
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfQuality = CLEARTYPE_QUALITY;
        lstrcpynW(font.lfFaceName, layout::fontFace, LF_FACESIZE);
        font_ = FontHandle(CreateFontIndirectW(&font));
        for (const HWND control :
             {intro_, authorLabel_, author_, distributorLabel_, distributor_, ok_, cancel_})
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);

        const int width = scale(clientWidth);
        const int left = scale(margin);
        const int inner = width - 2 * left;
        int top = scale(margin);
        const auto place = [&](HWND control, int x, int w, int h) {
            SetWindowPos(control, nullptr, x, top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
        };
        const int intro = introHeight(inner);
        place(intro_, left, inner, intro);
        top += intro + scale(gap + 4);
        for (const auto& [label, box] :
             {std::pair{authorLabel_, author_}, std::pair{distributorLabel_, distributor_}}) {
            place(label, left, inner, scale(labelHeight));
            top += scale(labelHeight + 2);
            place(box, left, inner, scale(boxHeight));
            top += scale(boxHeight + gap);
        }
        top += scale(gap);
        const int button = scale(buttonWidth);
        place(cancel_, width - left - button, button, scale(buttonHeight));
        place(ok_, width - left - 2 * button - scale(gap), button, scale(buttonHeight));
        top += scale(buttonHeight + margin);

        const RECT frame = windowRectForClient(width, top, dialogStyle, WS_EX_DLGMODALFRAME, dpi_);
        SetWindowPos(dialog_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(dialog_, nullptr, TRUE);
    }

    void centreOnOwner() {
        RECT own{};
        const HWND owner = GetWindow(dialog_, GW_OWNER);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(owner ? owner : dialog_, MONITOR_DEFAULTTOPRIMARY),
                        &monitor);
        if (owner == nullptr || !GetWindowRect(owner, &own))
            own = monitor.rcWork;
        RECT mine{};
        GetWindowRect(dialog_, &mine);
        const int w = mine.right - mine.left;
        const int h = mine.bottom - mine.top;
        const RECT& work = monitor.rcWork;
        const int x = std::clamp<int>((own.left + own.right - w) / 2, work.left,
                                      std::max<int>(work.left, work.right - w));
        const int y = std::clamp<int>((own.top + own.bottom - h) / 2, work.top,
                                      std::max<int>(work.top, work.bottom - h));
        SetWindowPos(dialog_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // Overwrites each box's text in place (the same length fits its buffer), then empties it;
    // setting the text also drops the box's undo copy.
    void wipeBoxes() {
        closing_ = true;
        for (const HWND box : {author_, distributor_}) {
            if (box == nullptr)
                continue;
            const int length = GetWindowTextLengthW(box);
            if (length > 0)
                SetWindowTextW(box, std::wstring(static_cast<size_t>(length), L'x').c_str());
            SetWindowTextW(box, L"");
        }
    }

    const PasswordDialogTexts& texts_;
    HWND dialog_ = nullptr;
    HWND intro_ = nullptr, authorLabel_ = nullptr, author_ = nullptr;
    HWND distributorLabel_ = nullptr, distributor_ = nullptr, ok_ = nullptr, cancel_ = nullptr;
    UINT dpi_ = defaultDpi;
    FontHandle font_;
    bool distributorEdited_ = false;
    bool mirroring_ = false;
    bool closing_ = false;
    std::optional<ProfilePasswords> result_;
    std::exception_ptr failure_;
};

// An empty template: the controls are made in WM_INITDIALOG, sized in pixels for the DPI.
struct alignas(4) EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;
};

}  // namespace

std::optional<ProfilePasswords> Win32ProfileDialogs::askPasswords(
    const PasswordDialogTexts& texts) {
    EmptyTemplate dialogTemplate{};
    dialogTemplate.header.style = dialogStyle;
    dialogTemplate.header.dwExtendedStyle = WS_EX_DLGMODALFRAME;
    PasswordDialog dialog(texts);
    const INT_PTR ended =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &dialogTemplate.header, owner_,
                                &PasswordDialog::procedure, reinterpret_cast<LPARAM>(&dialog));
    if (ended == -1)
        throw Error(L"The password dialog could not be shown.");
    return dialog.result();
}

}  // namespace platform::win32
