#pragma once
// One owner for any Windows handle the program opens itself: the function that releases it is
// part of the type.
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

inline void closeKernelHandle(HANDLE handle) noexcept {
    CloseHandle(handle);
}
inline void freeLocalText(wchar_t* text) noexcept {
    LocalFree(text);
}

using KernelHandle = UniqueHandle<HANDLE, closeKernelHandle>;
// A text the system allocated with LocalAlloc for the caller.
using LocalText = UniqueHandle<wchar_t*, freeLocalText>;

}  // namespace platform::win32
