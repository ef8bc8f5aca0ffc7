#pragma once
// The main window's children: the controls of its layout table (form_layout.h) and the radio
// groups' items as standard controls, with the fonts and the install button's glyph made for the
// window's DPI.
#include <windows.h>

#include <array>
#include <vector>

#include "platform/controls.h"
#include "platform/win32/form_layout.h"
#include "platform/win32/window_handles.h"

namespace platform::win32 {

class ControlSet {
  public:
    static bool isRadioGroup(Control control) {
        return control == Control::languageChoice || control == Control::seriesChoice;
    }

    // Creates them all as children of `window`, each radio group's first item selected.
    // Throws platform::Error when one cannot be created.
    void create(HWND window);
    // The window is being destroyed: its children are gone.
    void forget() noexcept;

    HWND control(Control control) const { return controls_[static_cast<size_t>(control)]; }
    HWND radioItem(Control group, int index) const;
    // The font of that size made for the current DPI; nullptr for one the layout does not use.
    HFONT font(const layout::Font& spec) const;

    // Fonts and glyph for `dpi`; the old ones are deleted once no control holds them.
    void loadFonts(UINT dpi);
    void loadGlyph(UINT dpi);
    // Every control and radio item in its place at `dpi`.
    void place(UINT dpi);

    // A radio group's selected item (-1: none), and selecting one as the program's own choice.
    int selected(Control group) const;
    void select(Control group, int index);
    // Tab enters a radio group at its selected item, as in a dialog.
    void markTabStop(Control group);
    void setEnabled(Control control, bool enabled);

  private:
    struct FontEntry {
        int height;
        bool bold;
        FontHandle font;
    };

    std::array<HWND, controlCount> controls_{};
    std::array<HWND, 4> radioItems_{};  // languageChoice 0, 1, seriesChoice 0, 1
    std::vector<FontEntry> fonts_;
    IconHandle glyph_;
};

}  // namespace platform::win32
