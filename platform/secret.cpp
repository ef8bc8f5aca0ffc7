// Temporary copy until the signer's own lands: the members of platform::Secret.
#include <algorithm>

#include "platform/crypto.h"

namespace platform {
namespace {

// Writes through a volatile pointer so that the compiler cannot drop the wipe of memory that is
// freed right after.
void wipe(std::vector<wchar_t>& units) noexcept {
    volatile wchar_t* p = units.data();
    for (std::size_t i = 0; i < units.size(); ++i)
        p[i] = 0;
}

}  // namespace

Secret::Secret(std::wstring_view text) {
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
    units_.clear();
}

}  // namespace platform
