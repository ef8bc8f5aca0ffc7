#pragma once

// Characters the TV address box admits when typed: digits, the full stop and backspace.
constexpr bool isAddressKey(wchar_t key) {
    return (key >= L'0' && key <= L'9') || key == L'.' || key == L'\b';
}
