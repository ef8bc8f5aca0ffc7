#pragma once
// The controls of the main window, as the portable code sees them. The Win32 window realises
// them as native controls; the in-memory window keeps their state in plain members for tests.
#include <string>
#include <vector>

namespace platform {

enum class Control {
    languageChoice,
    pcAddressGroup,
    pcAddresses,
    pcAddressNote,
    refreshButton,
    installGroup,
    tvAddressLabel,
    status,
    tvAddressBox,
    installButton,
    progressBar,
    seriesChoice,
    manualGroup,
    manual,
};
inline constexpr int controlCount = static_cast<int>(Control::manual) + 1;

// The answer to a question with the buttons Yes, No and Cancel.
enum class Answer { yes, no, cancel };

// A TV the address box offers in its list.
struct AddressChoice {
    std::wstring address;
    std::wstring label;  // the address, the TV's name and year, whether it is ready

    bool operator==(const AddressChoice&) const = default;
};

// What the handlers may read and change on the window. Texts of radio groups and group boxes
// are their captions; the progress bar's range is 0 to 100.
class FormControls {
  public:
    virtual ~FormControls() = default;

    virtual std::wstring text(Control control) const = 0;
    virtual void setText(Control control, const std::wstring& text) = 0;

    // Selected item of a radio group (languageChoice or seriesChoice).
    virtual int itemIndex(Control radioGroup) const = 0;
    // Selects an item as the program's own choice: no click event is reported.
    virtual void setItemIndex(Control radioGroup, int index) = 0;

    virtual int position() const = 0;  // progressBar
    virtual void setPosition(int position) = 0;

    virtual bool enabled(Control control) const = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;

    // A modal message box with an information icon; returns when the user has closed it.
    virtual void showMessage(const std::wstring& text) = 0;
    // The standard error dialog: a modal message box with an error icon.
    virtual void showError(const std::wstring& text) = 0;
    // A modal question with a warning icon and the buttons Yes and No; true for Yes.
    virtual bool askYesNo(const std::wstring& text) = 0;
    // The same with a third button, Cancel; closing the box answers Cancel.
    virtual Answer askYesNoCancel(const std::wstring& text) = 0;
    // The TVs the address box (tvAddressBox) offers in its list; picking one puts its address into
    // the box. An empty list offers nothing.
    virtual void setAddressChoices(const std::vector<AddressChoice>& choices) = 0;
    // Whether the search for TVs is under way, so that the list may still grow. Nothing shows it
    // on the window; the Windows one tells programs that drive it (form_layout.h).
    virtual void setSearching(bool searching) = 0;
};

// The events the window reports to its owner. The window calls each inside its own
// try/catch, so an exception never crosses a window procedure: it reaches showError instead.
class FormEvents {
  public:
    virtual ~FormEvents() = default;
    virtual void created() = 0;
    virtual void refreshClicked() = 0;
    virtual void languageChosen() = 0;
    // key is the typed character; setting it to 0 swallows it.
    virtual void addressKeyTyped(wchar_t& key) = 0;
    virtual void installClicked() = 0;
};

}  // namespace platform
