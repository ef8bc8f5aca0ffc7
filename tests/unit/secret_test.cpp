#include <gtest/gtest.h>

#include <string>

#include "platform/crypto.h"

namespace {

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
