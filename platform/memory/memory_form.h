#pragma once
// A window without a window: the controls' state in plain members, and a record of the message
// boxes shown. Tests read and change it directly, as a user would through the real controls.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/controls.h"

namespace platform::memory {

class MemoryForm final : public FormControls {
  public:
    struct Box {
        enum Kind { message, error, question, threeWayQuestion } kind;
        std::wstring text;
    };

    std::wstring text(Control control) const override;
    void setText(Control control, const std::wstring& text) override;
    int itemIndex(Control radioGroup) const override;
    int position() const override { return position_; }
    void setPosition(int position) override;
    bool enabled(Control control) const override;
    void setEnabled(Control control, bool enabled) override;
    void showMessage(const std::wstring& text) override;
    void showError(const std::wstring& text) override;
    bool askYesNo(const std::wstring& text) override;
    Answer askYesNoCancel(const std::wstring& text) override;
    void setItemIndex(Control radioGroup, int index) override { selectItem(radioGroup, index); }
    void setAddressChoices(const std::vector<AddressChoice>& choices) override {
        choices_ = choices;
    }
    const std::vector<AddressChoice>& addressChoices() const { return choices_; }
    void setSearching(bool searching) override { searching_ = searching; }
    bool searching() const { return searching_; }
    // What the user does to pick a TV from the list.
    void pickAddress(size_t index) { setText(Control::tvAddressBox, choices_.at(index).address); }

    // The answer the "user" gives to every question.
    bool answerYes = false;
    // ... and to every question with a Cancel button.
    Answer threeWayAnswer = Answer::cancel;

    // What the user does to radio groups (the caller then reports the click, as the real one does).
    void selectItem(Control radioGroup, int index);

    const std::vector<Box>& boxes() const { return boxes_; }
    // Every position the progress bar was given, in order.
    const std::vector<int>& positionHistory() const { return positions_; }
    // Runs while a message box is "open", as a modal box dispatches messages of its own.
    std::function<void(const Box&)> onBox;

  private:
    static size_t slot(Control control) { return static_cast<size_t>(control); }

    std::array<std::wstring, controlCount> texts_{};
    std::array<bool, controlCount> enabled_ = filled(true);
    int langIndex_ = 0;
    int seriesIndex_ = 0;
    int position_ = 0;
    std::vector<int> positions_;
    std::vector<Box> boxes_;
    std::vector<AddressChoice> choices_;
    bool searching_ = false;

    static std::array<bool, controlCount> filled(bool value) {
        std::array<bool, controlCount> a{};
        a.fill(value);
        return a;
    }
};

}  // namespace platform::memory
