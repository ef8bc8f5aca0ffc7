#include "platform/win32/control_set.h"

#include <commctrl.h>

#include "platform/error.h"
#include "platform/win32/window_dpi.h"

namespace platform::win32 {
namespace {

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

void ControlSet::create(HWND window) {
    for (const layout::ControlLayout& c : layout::controls) {
        const HWND child =
            createChild(window, controlClass(c.kind), c.caption, controlStyle(c.kind) | WS_GROUP, 0,
                        layout::controlId(c.control));
        controls_[static_cast<size_t>(c.control)] = child;
        if (c.kind == layout::Kind::radioGroup) {
            for (const layout::RadioItem& item : layout::radioItems) {
                if (item.group != c.control)
                    continue;
                // WS_GROUP on the first item and on the control after the group keeps the arrow
                // keys inside the pair.
                const DWORD style = BS_AUTORADIOBUTTON | (item.index == 0 ? WS_GROUP : 0);
                radioItems_[radioSlot(item.group, item.index)] =
                    createChild(window, WC_BUTTONW, item.caption, style, 0,
                                layout::radioItemId(item.group, item.index));
            }
            SendMessageW(radioItem(c.control, 0), BM_SETCHECK, BST_CHECKED, 0);
            markTabStop(c.control);
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
}

void ControlSet::forget() noexcept {
    controls_.fill(nullptr);
    radioItems_.fill(nullptr);
}

HWND ControlSet::radioItem(Control group, int index) const {
    return radioItems_[radioSlot(group, index)];
}

HFONT ControlSet::font(const layout::Font& spec) const {
    for (const FontEntry& entry : fonts_) {
        if (entry.height == spec.height && entry.bold == spec.bold)
            return entry.font.get();
    }
    return nullptr;
}

void ControlSet::loadFonts(UINT dpi) {
    std::vector<FontEntry> fonts;
    auto add = [&](const layout::Font& spec) {
        for (const FontEntry& entry : fonts) {
            if (entry.height == spec.height && entry.bold == spec.bold)
                return;
        }
        LOGFONTW font{};
        font.lfHeight = scaleForDpi(spec.height, dpi);
        font.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfQuality = CLEARTYPE_QUALITY;
        lstrcpynW(font.lfFaceName, layout::fontFace, LF_FACESIZE);
        fonts.push_back({spec.height, spec.bold, FontHandle(CreateFontIndirectW(&font))});
    };
    add(layout::defaultFont);
    add(layout::addressListFont);
    add(layout::statusSmallFont);
    for (const layout::ControlLayout& c : layout::controls)
        add(c.font);

    std::swap(fonts_, fonts);
    for (const layout::ControlLayout& c : layout::controls) {
        const HWND child = control(c.control);
        if (child == nullptr)
            continue;
        const WPARAM handle = reinterpret_cast<WPARAM>(font(c.font));
        SendMessageW(child, WM_SETFONT, handle, TRUE);
        if (isRadioGroup(c.control)) {
            for (int index = 0; index < 2; ++index) {
                SendMessageW(radioItem(c.control, index), WM_SETFONT, handle, TRUE);
            }
        }
    }
    // The old fonts (now in `fonts`) are deleted here, after every child has let go of them.
}

void ControlSet::loadGlyph(UINT dpi) {
    const int size = scaleForDpi(24, dpi);
    IconHandle glyph(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"INSTALL_GLYPH", IMAGE_ICON, size, size, 0)));
    SendMessageW(control(Control::installButton), BM_SETIMAGE, IMAGE_ICON,
                 reinterpret_cast<LPARAM>(glyph.get()));
    glyph_ = std::move(glyph);
}

void ControlSet::place(UINT dpi) {
    auto place = [&](HWND child, const layout::Box& box) {
        const int left = scaleForDpi(box.left, dpi);
        const int top = scaleForDpi(box.top, dpi);
        SetWindowPos(child, nullptr, left, top, scaleForDpi(box.left + box.width, dpi) - left,
                     scaleForDpi(box.top + box.height, dpi) - top, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    for (const layout::ControlLayout& c : layout::controls) {
        place(control(c.control), layout::windowBox(c.control));
    }
    for (const layout::RadioItem& item : layout::radioItems) {
        place(radioItem(item.group, item.index), layout::windowBox(item));
    }
}

int ControlSet::selected(Control group) const {
    for (int index = 0; index < 2; ++index) {
        if (SendMessageW(radioItem(group, index), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            return index;
        }
    }
    return -1;
}

void ControlSet::select(Control group, int index) {
    for (int item = 0; item < 2; ++item) {
        SendMessageW(radioItem(group, item), BM_SETCHECK,
                     item == index ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    markTabStop(group);
}

void ControlSet::markTabStop(Control group) {
    const int chosen = selected(group);
    for (int index = 0; index < 2; ++index) {
        const HWND item = radioItem(group, index);
        const LONG_PTR style = GetWindowLongPtrW(item, GWL_STYLE);
        SetWindowLongPtrW(item, GWL_STYLE,
                          index == chosen ? style | WS_TABSTOP : style & ~LONG_PTR{WS_TABSTOP});
    }
}

void ControlSet::setEnabled(Control which, bool enabled) {
    EnableWindow(control(which), enabled ? TRUE : FALSE);
    if (isRadioGroup(which)) {
        for (int index = 0; index < 2; ++index) {
            EnableWindow(radioItem(which, index), enabled ? TRUE : FALSE);
        }
    }
}

}  // namespace platform::win32
