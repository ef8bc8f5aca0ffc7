// The typed password's memory is overwritten before it is given back, through a volatile pointer
// so that the compiler cannot drop the writes as dead stores.
#include <utility>

#include "platform/crypto.h"

namespace platform {

namespace {

void wipe(std::vector<wchar_t>& units) noexcept {
    volatile wchar_t* p = units.data();
    for (std::size_t i = 0; i < units.size(); ++i) {
        p[i] = 0;
    }
}

}  // namespace

Secret::Secret(std::wstring_view text) {
    // Sized once, so that no reallocation leaves a copy behind.
    units_.reserve(text.size() + 1);
    units_.assign(text.begin(), text.end());
    units_.push_back(L'\0');
}

Secret::Secret(Secret&& other) noexcept : units_(std::move(other.units_)) {
    other.units_.clear();
}

Secret& Secret::operator=(Secret&& other) noexcept {
    if (this != &other) {
        clear();
        units_ = std::move(other.units_);
        other.units_.clear();
    }
    return *this;
}

void Secret::clear() noexcept {
    wipe(units_);
    std::vector<wchar_t>().swap(units_);
}

}  // namespace platform
