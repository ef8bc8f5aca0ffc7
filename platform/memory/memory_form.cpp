#include "platform/memory/memory_form.h"

#include <stdexcept>

namespace platform::memory {

std::wstring MemoryForm::text(Control control) const {
    return texts_[slot(control)];
}

void MemoryForm::setText(Control control, const std::wstring& text) {
    texts_[slot(control)] = text;
}

int MemoryForm::itemIndex(Control radioGroup) const {
    switch (radioGroup) {
        case Control::languageChoice:
            return langIndex_;
        case Control::seriesChoice:
            return seriesIndex_;
        default:
            throw std::logic_error("itemIndex of a control that is not a radio group");
    }
}

void MemoryForm::selectItem(Control radioGroup, int index) {
    if (index < 0 || index > 1)
        throw std::logic_error("radio groups have two items");
    switch (radioGroup) {
        case Control::languageChoice:
            langIndex_ = index;
            break;
        case Control::seriesChoice:
            seriesIndex_ = index;
            break;
        default:
            throw std::logic_error("selectItem of a control that is not a radio group");
    }
}

void MemoryForm::setPosition(int position) {
    // The real progress bar clamps to its range; so does this one.
    position_ = position < 0 ? 0 : (position > 100 ? 100 : position);
    positions_.push_back(position_);
}

bool MemoryForm::enabled(Control control) const {
    return enabled_[slot(control)];
}

void MemoryForm::setEnabled(Control control, bool enabled) {
    enabled_[slot(control)] = enabled;
}

void MemoryForm::showMessage(const std::wstring& text) {
    const Box box{Box::message, text};
    boxes_.push_back(box);
    if (onBox)
        onBox(box);
}

bool MemoryForm::askYesNo(const std::wstring& text) {
    const Box box{Box::question, text};
    boxes_.push_back(box);
    if (onBox)
        onBox(box);
    return answerYes;
}

Answer MemoryForm::askYesNoCancel(const std::wstring& text) {
    const Box box{Box::threeWayQuestion, text};
    boxes_.push_back(box);
    if (onBox)
        onBox(box);
    return threeWayAnswer;
}

void MemoryForm::showError(const std::wstring& text) {
    const Box box{Box::error, text};
    boxes_.push_back(box);
    if (onBox)
        onBox(box);
}

}  // namespace platform::memory
