#pragma once
// The main window's layout in 96-DPI units, its control ids and its designer captions. The
// Win32 window scales every number here by the window's DPI; the GUI test finds controls by
// these ids.
//
// Control ids (GetDlgCtrlID):
//   1000 + the order of platform::Control, for every control of the layout table; a radio
//   group's id is that of its framed group box:
//     1000 langRG       1001 ipGB       1002 ipValLBL    1003 ipNoteLbl     1004 refreshIpBTN
//     1005 installGB    1006 tvIpLbl    1007 statusLbl   1008 tvIpEdt       1009 BitInstall
//     1010 installPB    1011 tvSeriesRG 1012 instManualGB 1013 manualLbl
//   1100 + item index for the items of langRG ("РУС", "ENG"),
//   1110 + item index for the items of tvSeriesRG ("J,K", "M,N,Q,R,T").
// The main window is the top-level window of class windowClass with caption windowCaption.
#include <array>

#include "platform/controls.h"

namespace layout {

using platform::Control;

struct Box {
    int left;
    int top;
    int width;
    int height;
};

struct Font {
    int height;  // lfHeight at 96 DPI: negative, the character height in pixels
    bool bold;
};

inline constexpr wchar_t windowClass[] = L"QuorvexInstallerMainWindow";
inline constexpr wchar_t windowCaption[] = L"Quorvex Tizen Installer";
inline constexpr wchar_t fontFace[] = L"Tahoma";
inline constexpr Font defaultFont{-16, false};

inline constexpr int clientWidth = 844;
inline constexpr int clientHeight = 600;
// Upper bound of the maximised / tracked window size.
inline constexpr int maxWindowWidth = 850;
inline constexpr int maxWindowHeight = 625;

// label: left-aligned static; statusText: centred both ways with word wrap (drawn by the window);
// addressBox: a drop-down combo box, an edit with a list of the TVs found.
enum class Kind {
    radioGroup,
    groupBox,
    label,
    labelCentred,
    labelRight,
    statusText,
    button,
    addressBox,
    progress
};

struct ControlLayout {
    Control control;
    Kind kind;
    Control parent;  // the group box the box is relative to; the control itself: the window
    Box box;
    Font font;
    bool red;
    const wchar_t* caption;  // until FormCreate puts in the texts of the language
};

inline constexpr wchar_t ipNoteCaption[] =
    L"* Если отображается более одного IP адреса - используйте тот который расположен в одной "
    L"подсети с ТВ";
inline constexpr wchar_t statusCaption[] =
    L"Введите IP вашего ТВ, Выберите его серию, Нажмите \"Установить виджет\"";

// In creation order, which is also the tab order.
// ipNoteLbl was 549 wide in the original design, which the Russian note fills to the last pixel
// at 96 DPI; at 144 DPI the font rounds up to 17 px and its end was cut off. 606 stays clear of
// the refresh button.
// clang-format off
inline constexpr std::array<ControlLayout, platform::controlCount> controls{{
    // control              kind                parent                 left top  width height  font          red    caption
    {Control::langRG,       Kind::radioGroup,   Control::langRG,       {757,   0,  84,  73}, {-16, false}, false, L"Язык"},
    {Control::ipGB,         Kind::groupBox,     Control::ipGB,         {  3,   0, 752,  73}, {-16, false}, false, L"IP Адрес ПК:"},
    {Control::ipValLBL,     Kind::labelCentred, Control::ipGB,         {  8,  19, 608,  40}, {-27, true},  true,  L""},
    {Control::ipNoteLbl,    Kind::label,        Control::ipGB,         {  8,  55, 606,  13}, {-11, false}, false, ipNoteCaption},
    {Control::refreshIpBTN, Kind::button,       Control::ipGB,         {622,  14, 123,  52}, {-16, false}, false, L"Обновить IP"},
    {Control::installGB,    Kind::groupBox,     Control::installGB,    {  3, 451, 838, 145}, {-16, false}, false, L"Установка виджета"},
    {Control::tvIpLbl,      Kind::labelRight,   Control::installGB,    {  3,  72, 113,  39}, {-16, true},  false, L"IP Адрес телевизора"},
    // statusLbl was 626 wide in the original design, reaching 12 px into the series group beside
    // it; as a window of its own its repaint wiped the left edge of the "J,K" button. 610 ends
    // 4 px before the group.
    {Control::statusLbl,    Kind::statusText,   Control::installGB,    {  8,  20, 610,  46}, {-19, true},  true,  statusCaption},
    {Control::tvIpEdt,      Kind::addressBox,   Control::installGB,    {122,  73, 494,  41}, {-27, true},  true,  L""},
    {Control::BitInstall,   Kind::button,       Control::installGB,    {622,  72, 210,  39}, {-16, false}, false, L"Установить виджет"},
    {Control::installPB,    Kind::progress,     Control::installGB,    {  7, 119, 825,  18}, {-16, false}, false, L""},
    {Control::tvSeriesRG,   Kind::radioGroup,   Control::installGB,    {622,  10, 210,  57}, {-16, false}, false, L"Серия ТВ"},
    {Control::instManualGB, Kind::groupBox,     Control::instManualGB, {  3,  73, 838, 379}, {-16, false}, false, L"Инструкция по установке"},
    {Control::manualLbl,    Kind::label,        Control::instManualGB, { 11,  21, 824, 351}, {-15, false}, false, L""},
}};
// clang-format on

// The address box's list: a smaller font than its edit, and wide enough for a TV's name.
inline constexpr Font addressListFont{-15, false};
inline constexpr int addressListWidth = 700;
inline constexpr int addressListItemHeight = 24;
inline constexpr int addressListItems = 8;

// The two items of a radio group, relative to the group's box.
struct RadioItem {
    Control group;
    int index;
    Box box;
    const wchar_t* caption;
};

inline constexpr std::array<RadioItem, 4> radioItems{{
    {Control::langRG, 0, {10, 20, 70, 22}, L"РУС"},
    {Control::langRG, 1, {10, 45, 70, 22}, L"ENG"},
    // Two columns side by side.
    {Control::tvSeriesRG, 0, {8, 24, 88, 24}, L"J,K"},
    {Control::tvSeriesRG, 1, {98, 24, 108, 24}, L"M,N,Q,R,T"},
}};

constexpr int controlId(Control control) {
    return 1000 + static_cast<int>(control);
}

constexpr int radioItemId(Control group, int index) {
    return (group == Control::langRG ? 1100 : 1110) + index;
}

constexpr const ControlLayout& layoutOf(Control control) {
    return controls[static_cast<size_t>(control)];
}

// A control's box relative to the window's client area: group offsets added up.
constexpr Box windowBox(Control control) {
    const ControlLayout& c = layoutOf(control);
    if (c.parent == control)
        return c.box;
    const Box outer = windowBox(c.parent);
    return {outer.left + c.box.left, outer.top + c.box.top, c.box.width, c.box.height};
}

constexpr Box windowBox(const RadioItem& item) {
    const Box outer = windowBox(item.group);
    return {outer.left + item.box.left, outer.top + item.box.top, item.box.width, item.box.height};
}

}  // namespace layout
