#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/signing/widget_ids.h"
#include "src/signing/widget_package.h"

namespace {

std::vector<unsigned char> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// On each host (under Wine too, with MinGW's zlib): members added to an empty archive come back
// inflated as they went in, old signatures go, and a second rewrite keeps the rest byte for byte.
TEST(WidgetPackage, RewriteRoundTrip) {
    const std::vector<unsigned char> empty = {0x50, 0x4b, 0x05, 0x06, 0, 0, 0, 0, 0, 0, 0,
                                              0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0};
    const std::string config =
        "<widget xmlns:tizen=\"http://tizen.org/ns/widgets\">"
        "<tizen:application id=\"Ab12345678.App\" package=\"Ab12345678\"/></widget>";
    const std::string script(5000, 'x');  // deflates well
    const std::vector<widget::WidgetPackage::NewMember> members = {
        {"config.xml", bytes(config)},
        {"js/main.js", bytes(script)},
        {"img/\xD1\x84.png", bytes("\x89PNG")},
        {"author-signature.xml", bytes("old")}};
    const auto first = widget::WidgetPackage(empty).rewrite(members);

    widget::WidgetPackage package(first);
    ASSERT_EQ(package.members().size(), members.size());
    for (const auto& m : members) {
        const widget::ZipMember* found = package.find(m.name);
        ASSERT_NE(found, nullptr) << m.name;
        EXPECT_EQ(package.contents(*found), m.data) << m.name;
    }
    EXPECT_LT(package.find("js/main.js")->compressedSize, 100u);
    EXPECT_EQ(widget::readPackageIds(package).applicationId, L"Ab12345678.App");

    const auto second = package.rewrite({});
    widget::WidgetPackage again(second);
    ASSERT_EQ(again.members().size(), 3u);
    EXPECT_EQ(again.find("author-signature.xml"), nullptr);
    EXPECT_EQ(std::vector<unsigned char>(second.begin(), second.begin() + 30 + 10),
              std::vector<unsigned char>(first.begin(), first.begin() + 30 + 10));  // config.xml
}

}  // namespace
