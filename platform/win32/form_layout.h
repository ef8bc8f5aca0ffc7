#pragma once
// The main window's layout in 96-DPI units, its control ids and its designer captions. The
// Win32 window scales every number here by the window's DPI; the GUI test finds controls by
// these ids.
//
// Control ids (GetDlgCtrlID):
//   1000 + the order of platform::Control, for every control of the layout table; a radio
//   group's id is that of its framed group box:
//     1000 languageChoice  1001 pcAddressGroup  1002 pcAddresses   1003 pcAddressNote
//     1004 refreshButton   1005 installGroup    1006 tvAddressLabel 1007 status
//     1008 tvAddressBox    1009 installButton   1010 progressBar    1011 seriesChoice
//     1012 manualGroup     1013 manual
//   1100 + item index for the items of languageChoice ("РУС", "ENG"),
//   1110 + item index for the items of seriesChoice ("J,K", "M,N,Q,R,T").
// The main window is the top-level window of class windowClass with caption windowCaption.
// While it searches for TVs (its address box's list may still grow), it has the window property
// searchingProperty (GetPropW gives a non-null handle).
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
inline constexpr wchar_t searchingProperty[] = L"QuorvexSearching";
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
    const wchar_t* caption;  // until created puts in the texts of the language
};

inline constexpr wchar_t ipNoteCaption[] =
    L"* Если отображается более одного IP адреса - используйте тот который расположен в одной "
    L"подсети с ТВ";
inline constexpr wchar_t statusCaption[] =
    L"Введите IP вашего ТВ, Выберите его серию, Нажмите \"Установить виджет\"";

// In creation order, which is also the tab order.
// pcAddressNote was 549 wide in the original design, which the Russian note fills to the last pixel
// at 96 DPI; at 144 DPI the font rounds up to 17 px and its end was cut off. 606 stays clear of
// the refresh button.
// clang-format off
inline constexpr std::array<ControlLayout, platform::controlCount> controls{{
    // control              kind                parent                 left top  width height  font          red    caption
    {Control::languageChoice,       Kind::radioGroup,   Control::languageChoice,       {757,   0,  84,  73}, {-16, false}, false, L"Язык"},
    {Control::pcAddressGroup,         Kind::groupBox,     Control::pcAddressGroup,         {  3,   0, 752,  73}, {-16, false}, false, L"IP Адрес ПК:"},
    {Control::pcAddresses,     Kind::labelCentred, Control::pcAddressGroup,         {  8,  19, 608,  40}, {-27, true},  true,  L""},
    {Control::pcAddressNote,    Kind::label,        Control::pcAddressGroup,         {  8,  55, 606,  13}, {-11, false}, false, ipNoteCaption},
    {Control::refreshButton, Kind::button,       Control::pcAddressGroup,         {622,  14, 123,  52}, {-16, false}, false, L"Обновить IP"},
    {Control::installGroup,    Kind::groupBox,     Control::installGroup,    {  3, 451, 838, 145}, {-16, false}, false, L"Установка виджета"},
    {Control::tvAddressLabel,      Kind::labelRight,   Control::installGroup,    {  3,  72, 113,  39}, {-16, true},  false, L"IP Адрес телевизора"},
    // status was 626 wide in the original design, reaching 12 px into the series group beside
    // it; as a window of its own its repaint wiped the left edge of the "J,K" button. 610 ends
    // 4 px before the group.
    {Control::status,    Kind::statusText,   Control::installGroup,    {  8,  20, 610,  46}, {-19, true},  true,  statusCaption},
    {Control::tvAddressBox,      Kind::addressBox,   Control::installGroup,    {122,  73, 494,  41}, {-27, true},  true,  L""},
    {Control::installButton,   Kind::button,       Control::installGroup,    {622,  72, 210,  39}, {-16, false}, false, L"Установить виджет"},
    {Control::progressBar,    Kind::progress,     Control::installGroup,    {  7, 119, 825,  18}, {-16, false}, false, L""},
    {Control::seriesChoice,   Kind::radioGroup,   Control::installGroup,    {622,  10, 210,  57}, {-16, false}, false, L"Серия ТВ"},
    {Control::manualGroup, Kind::groupBox,     Control::manualGroup, {  3,  73, 838, 379}, {-16, false}, false, L"Инструкция по установке"},
    {Control::manual,    Kind::label,        Control::manualGroup, { 11,  21, 824, 351}, {-15, false}, false, L""},
}};
// clang-format on

// The status text in a smaller font, for a text too long for the status's own.
inline constexpr Font statusSmallFont{-16, true};

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
    {Control::languageChoice, 0, {10, 20, 70, 22}, L"РУС"},
    {Control::languageChoice, 1, {10, 45, 70, 22}, L"ENG"},
    // Two columns side by side.
    {Control::seriesChoice, 0, {8, 24, 88, 24}, L"J,K"},
    {Control::seriesChoice, 1, {98, 24, 108, 24}, L"M,N,Q,R,T"},
}};

constexpr int controlId(Control control) {
    return 1000 + static_cast<int>(control);
}

constexpr int radioItemId(Control group, int index) {
    return (group == Control::languageChoice ? 1100 : 1110) + index;
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
