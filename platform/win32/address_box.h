#pragma once
// The TV address box: a drop-down combo box whose list of TVs found the window draws itself. Its
// edit passes typed keys through a filter, keeps its text centred, and shows a picked TV's address
// instead of the label the combo box puts there.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/controls.h"

namespace platform::win32 {

class AddressBox {
  public:
    // Posted to the window whenever the list was used; the window then calls showPickedAddress().
    static constexpr UINT pickedMessage = WM_APP + 2;

    AddressBox() = default;
    AddressBox(const AddressBox&) = delete;
    AddressBox& operator=(const AddressBox&) = delete;
    ~AddressBox();

    // Takes over the combo box `box`, a child of `window`. `keyTyped` sees every character typed
    // into the edit and may swallow it by setting it to 0; it must not throw.
    // Throws platform::Error when the box has no edit.
    void attach(HWND window, HWND box, std::function<void(wchar_t&)> keyTyped);
    // The window is being destroyed: its children are gone.
    void detach() noexcept;
    HWND edit() const noexcept { return edit_; }

    // The combo box asks an item's height (itemID -1: the edit's) while it is being created.
    static void measureItem(MEASUREITEMSTRUCT& item, UINT dpi);
    void drawItem(const DRAWITEMSTRUCT& item, HFONT listFont, UINT dpi) const;
    // Puts the box in its place of the layout, with its list's sizes.
    void place(UINT dpi);
    void centreText();
    // A notification code from the combo box (WM_COMMAND).
    void notified(int code);
    void showPickedAddress();
    void setChoices(const std::vector<AddressChoice>& choices);

  private:
    static LRESULT CALLBACK editProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    LRESULT onChar(HWND edit, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HWND box_ = nullptr;
    HWND edit_ = nullptr;  // subclassed while set
    std::function<void(wchar_t&)> keyTyped_;
    std::vector<AddressChoice> choices_;
};

}  // namespace platform::win32
