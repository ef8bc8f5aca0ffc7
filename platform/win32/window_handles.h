#pragma once
// Owners for the GDI and USER handles the window creates itself.
#include <windows.h>

#include <utility>

namespace platform::win32 {

template <typename Handle, auto destroy>
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    void reset() noexcept {
        if (handle_ != nullptr)
            destroy(std::exchange(handle_, nullptr));
    }

  private:
    Handle handle_ = nullptr;
};

inline void deleteFont(HFONT font) noexcept {
    DeleteObject(font);
}
inline void destroyIcon(HICON icon) noexcept {
    DestroyIcon(icon);
}

using FontHandle = UniqueHandle<HFONT, deleteFont>;
using IconHandle = UniqueHandle<HICON, destroyIcon>;

}  // namespace platform::win32
