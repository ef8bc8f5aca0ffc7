// The typed password's memory is overwritten before it is given back, through a volatile pointer
// so that the compiler cannot drop the writes as dead stores.
#include <utility>

#include "platform/crypto.h"

namespace platform {

namespace {

void wipe(std::pmr::vector<wchar_t>& units) noexcept {
    volatile wchar_t* p = units.data();
    for (std::size_t i = 0; i < units.size(); ++i) {
        p[i] = 0;
    }
}

}  // namespace

Secret::Secret(std::wstring_view text, std::pmr::memory_resource* memory) : units_(memory) {
    // Sized once, so that no reallocation leaves a copy behind.
    units_.reserve(text.size() + 1);
    units_.assign(text.begin(), text.end());
    units_.push_back(L'\0');
}

Secret::Secret(Secret&& other) noexcept : units_(std::move(other.units_)) {
    other.clear();
}

Secret& Secret::operator=(Secret&& other) noexcept {
    if (this != &other) {
        clear();
        if (units_.get_allocator() == other.units_.get_allocator()) {
            units_.swap(other.units_);
        } else {
            // Memory of another resource cannot be taken over: the text is copied, and the
            // other's wiped below (a vector's move would leave it there).
            units_.assign(other.units_.begin(), other.units_.end());
        }
        other.clear();
    }
    return *this;
}

void Secret::clear() noexcept {
    wipe(units_);
    std::pmr::vector<wchar_t>(units_.get_allocator()).swap(units_);
}

}  // namespace platform
