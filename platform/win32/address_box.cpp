#include "platform/win32/address_box.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/win32/form_layout.h"
#include "platform/win32/window_dpi.h"
#include "platform/win32/window_handles.h"

namespace platform::win32 {
namespace {

constexpr UINT_PTR editSubclassId = 1;
// The box's frame around its edit, at 96 DPI.
constexpr int boxFrame = 6;

}  // namespace

AddressBox::~AddressBox() {
    // The edit may outlive this object only if the window was never destroyed.
    if (edit_ != nullptr)
        RemoveWindowSubclass(edit_, editProc, editSubclassId);
}

void AddressBox::attach(HWND window, HWND box, std::function<void(wchar_t&)> keyTyped) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(box, &info) || info.hwndItem == nullptr)
        throw Error(L"The address box has no edit control.");
    window_ = window;
    box_ = box;
    keyTyped_ = std::move(keyTyped);
    edit_ = info.hwndItem;
    SetWindowSubclass(edit_, editProc, editSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void AddressBox::detach() noexcept {
    window_ = nullptr;
    box_ = nullptr;
    edit_ = nullptr;
}

void AddressBox::measureItem(MEASUREITEMSTRUCT& item, UINT dpi) {
    // Asked while the box is being created, before place() sets the same heights.
    item.itemHeight = static_cast<UINT>(
        scaleForDpi(item.itemID == static_cast<UINT>(-1)
                        ? layout::layoutOf(Control::tvAddressBox).box.height - boxFrame
                        : layout::addressListItemHeight,
                    dpi));
}

void AddressBox::drawItem(const DRAWITEMSTRUCT& item, HFONT listFont, UINT dpi) const {
    const HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= choices_.size())
        return;
    const std::wstring& label = choices_[item.itemID].label;
    const HGDIOBJ oldFont = SelectObject(dc, listFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text = item.rcItem;
    text.left += scaleForDpi(6, dpi);
    DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);
}

void AddressBox::place(UINT dpi) {
    // Closed, the box fills its place in the layout; its height as a window is that of the
    // open list.
    const layout::Box place = layout::windowBox(Control::tvAddressBox);
    SendMessageW(box_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                 scaleForDpi(place.height - boxFrame, dpi));
    SendMessageW(box_, CB_SETITEMHEIGHT, 0, scaleForDpi(layout::addressListItemHeight, dpi));
    SendMessageW(box_, CB_SETDROPPEDWIDTH, scaleForDpi(layout::addressListWidth, dpi), 0);
    const int left = scaleForDpi(place.left, dpi);
    const int top = scaleForDpi(place.top, dpi);
    SetWindowPos(
        box_, nullptr, left, top, scaleForDpi(place.left + place.width, dpi) - left,
        scaleForDpi(place.height + layout::addressListItems * layout::addressListItemHeight + 4,
                    dpi),
        SWP_NOZORDER | SWP_NOACTIVATE);
}

void AddressBox::centreText() {
    // A combo box's edit cannot be given ES_CENTER; a left margin of half the free width
    // centres the text all the same, and shrinks to nothing once the text fills the box.
    if (edit_ == nullptr)
        return;
    const std::wstring shown = windowText(box_);
    RECT area{};
    GetClientRect(edit_, &area);
    const HDC dc = GetDC(edit_);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(edit_, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(edit_, dc);
    const int margin = std::max<int>(0, (area.right - area.left - size.cx - 4) / 2);
    SendMessageW(edit_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(margin, 0));
    InvalidateRect(edit_, nullptr, TRUE);
}

void AddressBox::notified(int code) {
    // However the list closes, the combo box may put a whole label into the edit, and does so
    // only after it has reported the pick: the address takes its place once the combo box is done.
    if (code == CBN_DROPDOWN || code == CBN_SELCHANGE || code == CBN_CLOSEUP ||
        code == CBN_SELENDOK || code == CBN_SELENDCANCEL) {
        PostMessageW(window_, pickedMessage, 0, 0);
    }
    if (code == CBN_EDITCHANGE)
        centreText();
}

void AddressBox::showPickedAddress() {
    const std::wstring shown = windowText(box_);
    for (const AddressChoice& choice : choices_) {
        if (shown == choice.label) {
            SetWindowTextW(edit_, choice.address.c_str());
            SendMessageW(edit_, EM_SETSEL, 0, -1);
            centreText();
            return;
        }
    }
}

void AddressBox::setChoices(const std::vector<AddressChoice>& choices) {
    // The list changes while the user may have it open: only when something in it changed, and
    // the item under the user's keys stays the one of the same address.
    if (choices == choices_)
        return;
    // Emptying the list must not take what the user typed with it, nor move the caret: a search
    // may end while the user types.
    const std::wstring typed = windowText(box_);
    DWORD selStart = 0;
    DWORD selEnd = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                 reinterpret_cast<LPARAM>(&selEnd));
    const auto current = SendMessageW(box_, CB_GETCURSEL, 0, 0);
    const bool open = SendMessageW(box_, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
    std::wstring held;
    if (open && current >= 0 && static_cast<size_t>(current) < choices_.size())
        held = choices_[static_cast<size_t>(current)].address;
    choices_ = choices;
    SendMessageW(box_, CB_RESETCONTENT, 0, 0);
    for (const AddressChoice& choice : choices_) {
        SendMessageW(box_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.label.c_str()));
    }
    for (size_t i = 0; !held.empty() && i < choices_.size(); ++i) {
        if (choices_[i].address == held)
            SendMessageW(box_, CB_SETCURSEL, i, 0);
    }
    SetWindowTextW(edit_, typed.c_str());
    SendMessageW(edit_, EM_SETSEL, selStart, selEnd);
    centreText();
}

LRESULT CALLBACK AddressBox::editProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self) {
    try {
        if (message == WM_CHAR)
            return reinterpret_cast<AddressBox*>(self)->onChar(edit, wParam, lParam);
        if (message == WM_NCDESTROY) {
            RemoveWindowSubclass(edit, editProc, id);
            reinterpret_cast<AddressBox*>(self)->edit_ = nullptr;
        }
    } catch (...) {
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

LRESULT AddressBox::onChar(HWND edit, WPARAM wParam, LPARAM lParam) {
    auto key = static_cast<wchar_t>(wParam);
    if (keyTyped_)
        keyTyped_(key);
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

}  // namespace platform::win32
