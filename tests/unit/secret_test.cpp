#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory_resource>
#include <string>

#include "platform/crypto.h"

namespace {

// Memory that is never given back, so that a test can read what a secret left in it.
class KeptMemory final : public std::pmr::memory_resource {
  public:
    bool holds(std::wstring_view text) const {
        return std::wstring_view(units_.data(), units_.size()).find(text) !=
               std::wstring_view::npos;
    }
    bool wiped() const {
        return used_ > 0 && std::ranges::all_of(units_, [](wchar_t unit) { return unit == 0; });
    }

  private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        used_ = (used_ + alignment - 1) / alignment * alignment;
        if (used_ + bytes > sizeof units_)
            throw std::bad_alloc();
        void* block = reinterpret_cast<char*>(units_.data()) + used_;
        used_ += bytes;
        return block;
    }
    void do_deallocate(void*, std::size_t, std::size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }

    alignas(std::max_align_t) std::array<wchar_t, 256> units_{};
    std::size_t used_ = 0;  // bytes handed out
};

using platform::Secret;

// However a typed password's life ends, nothing of it stays in the memory it had: cleared,
// destroyed, replaced, or moved to a secret of other memory.
TEST(Secret, EveryEndWipesTheMemoryItHad) {
    const std::pair<const char*, std::function<void(KeptMemory&)>> cases[] = {
        {"cleared",
         [](KeptMemory& memory) {
             Secret typed(L"пароль", &memory);
             EXPECT_TRUE(memory.holds(L"пароль"));
             typed.clear();
             EXPECT_TRUE(typed.empty());
         }},
        {"destroyed", [](KeptMemory& memory) { Secret typed(L"пароль", &memory); }},
        {"moved, then destroyed",
         [](KeptMemory& memory) {
             Secret typed(L"пароль", &memory);
             Secret moved(std::move(typed));
             EXPECT_EQ(std::wstring(moved.c_str()), L"пароль");
         }},
        {"replaced",
         [](KeptMemory& memory) {
             Secret typed(L"пароль", &memory);
             typed = Secret(L"другой", &memory);
             EXPECT_FALSE(memory.holds(L"пароль"));
             EXPECT_TRUE(memory.holds(L"другой"));
         }},
        {"moved to a secret of other memory",
         [](KeptMemory& memory) {
             Secret typed(L"пароль", &memory);
             Secret other(L"x");
             other = std::move(typed);
             EXPECT_FALSE(memory.holds(L"пароль"));
             EXPECT_EQ(std::wstring(other.c_str()), L"пароль");
         }},
        {"moved in from other memory",
         [](KeptMemory& memory) {
             Secret typed(L"x", &memory);
             typed = Secret(L"пароль");
             EXPECT_TRUE(memory.holds(L"пароль"));
         }},
    };
    for (const auto& [what, use] : cases) {
        SCOPED_TRACE(what);
        KeptMemory memory;
        use(memory);
        EXPECT_TRUE(memory.wiped());
    }
}

// A typed password moves, never copies: the one it leaves is empty, and clearing empties it.
TEST(Secret, MovesAndClears) {
    platform::Secret typed(L"пароль Ä");
    EXPECT_EQ(std::wstring(typed.c_str()), L"пароль Ä");
    EXPECT_EQ(typed.size(), 8u);

    platform::Secret moved(std::move(typed));
    EXPECT_TRUE(typed.empty());  // NOLINT(bugprone-use-after-move): the point of the test
    EXPECT_EQ(std::wstring(typed.c_str()), L"");
    EXPECT_EQ(std::wstring(moved.c_str()), L"пароль Ä");

    platform::Secret other(L"x");
    other = std::move(moved);
    EXPECT_TRUE(moved.empty());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(std::wstring(other.c_str()), L"пароль Ä");

    other.clear();
    EXPECT_TRUE(other.empty());
    EXPECT_EQ(other.size(), 0u);
    EXPECT_EQ(std::wstring(other.c_str()), L"");
    EXPECT_TRUE(platform::Secret(L"").empty());
}

}  // namespace
