// The widget package reader on broken and hostile archives: each fault refused for its reason,
// random damage never worse than a refusal, and the package's ids read from config.xml.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "signing_support.h"
#include "src/signing/widget_ids.h"
#include "src/signing/widget_package.h"

using namespace signing_test;
using widget::PackageError;
using widget::WidgetPackage;

namespace {

using Damage = std::function<void(Bytes&)>;

Damage set(std::size_t at, std::uint32_t value, int size = 2) {
    return [=](Bytes& b) {
        for (int i = 0; i < size; ++i) {
            b[at + i] = static_cast<unsigned char>(value >> 8 * i);
        }
    };
}

// Gives a member another name of the same length, in its central entry and its local header.
Damage rename(const widget::ZipMember& m, const std::string& name) {
    EXPECT_EQ(name.size(), m.name.size()) << name;
    return [&m, name](Bytes& b) {
        std::copy(name.begin(), name.end(), b.begin() + m.centralOffset + 46);
        std::copy(name.begin(), name.end(), b.begin() + m.recordOffset + 30);
    };
}

// Reads everything the signer reads: why it was refused, or "taken".
std::wstring refusal(const Bytes& bytes) {
    try {
        WidgetPackage package(bytes);
        for (const auto& m : package.members()) {
            package.contents(m);
        }
        return L"taken";
    } catch (const PackageError& e) {
        return e.message();
    }
}

TEST(WidgetPackage, RefusesEachFaultForItsReason) {
    const Bytes original = readBytes(QUORVEX_SAMPLE_WIDGET);
    const WidgetPackage parsed(original);
    const auto &index = *parsed.find("index.html"), &config = *parsed.find("config.xml"),
               &css = *parsed.find("css/style.css"), &main = *parsed.find("js/main.js");
    ASSERT_EQ(main.method, 8);
    const std::size_t end = original.size() - 22,
                      flipAt = main.dataOffset + main.compressedSize / 2;
    // clang-format off
    const std::tuple<const char*, Damage, const wchar_t*> cases[] = {
        {"taken as it is", [](Bytes&) {}, L"taken"},
        {"a comment", [&](Bytes& b) { set(end + 20, 5)(b), b.insert(b.end(), {'n', 'o', 't', 'e', '.'}); }, L"taken"},
        {"the longest comment", [&](Bytes& b) { set(end + 20, 0xFFFF)(b), b.insert(b.end(), 0xFFFF, 'c'); }, L"taken"},
        {"encrypted", set(index.centralOffset + 8, 1), L"encrypted"},
        {"bzip2", [&](Bytes& b) { set(index.centralOffset + 10, 12)(b), set(index.recordOffset + 8, 12)(b); }, L"compression"},
        {"parent folder", rename(index, "../ex.html"), L"leaves its folder"},
        {"this folder", rename(index, "./ndex.htm"), L"leaves its folder or is ambiguous"},
        {"absolute", rename(index, "/ndex.html"), L"not a relative path"},
        {"drive", rename(index, "C:ndex.htm"), L"not a relative path"},
        {"backslash", rename(css, "css\\style.css"), L"not a relative path"},
        {"duplicate", rename(config, "index.html"), L"appears twice"},
        {"zip64 count", set(end + 10, 0xFFFF), L"zip64"},
        {"zip64 size", set(index.centralOffset + 20, 0xFFFFFFFF, 4), L"zip64"},
        {"huge member", set(index.centralOffset + 24, 300u << 20, 4), L"impossible size"},
        {"overlap", set(index.centralOffset + 20, index.compressedSize + 40, 4), L"overlap"},
        {"directory outside", set(end + 16, 0x7FFFFFFF, 4), L"outside"},
        {"local header differs", set(config.recordOffset + 8, 0), L"does not match"},
        {"split", set(end + 4, 1), L"split"},
        {"no end record", set(end, 0, 4), L"no end of central directory"},
        {"flipped data", set(flipAt, original[flipAt] ^ 0x10, 1), L"Widget package: "},
        {"wrong crc", set(main.centralOffset + 16, main.crc32 ^ 1, 4), L"fails its CRC"},
        {"size too small", set(main.centralOffset + 24, main.size - 1, 4), L"inflate to its size"},
        {"size too large", set(main.centralOffset + 24, main.size + 1, 4), L"inflate to its size"},
    };
    // clang-format on
    for (const auto& [name, damage, reason] : cases) {
        Bytes bytes = original;
        damage(bytes);
        std::wstring told = refusal(bytes);
        EXPECT_NE(told.find(reason), std::wstring::npos) << name << ": " << platform::toUtf8(told);
    }
}

// Truncations and random damage: never a crash or a hang (the sanitizer build would show
// either), only refusals.
TEST(WidgetPackage, RandomDamageIsRefusedOrRead) {
    const Bytes original = readBytes(QUORVEX_SAMPLE_WIDGET);
    for (std::size_t size = 0; size < original.size(); size += size < 64 ? 1 : 37) {
        EXPECT_NE(refusal(Bytes(original.begin(), original.begin() + size)), L"taken") << size;
    }
    std::mt19937 random(15);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = original;
        // Headers are where damage matters: aim at the central directory half the time.
        std::size_t from = round % 2 ? original.size() - 600 : 0;
        for (int flips = 1 + round % 4; flips > 0; --flips) {
            bytes[from + random() % (original.size() - from)] ^= 1 + random() % 255;
        }
        refused += refusal(bytes) != L"taken";
    }
    EXPECT_GT(refused, 1000);  // the damage does reach what is checked
}

TEST(WidgetPackage, ReadsItsIdsFromConfigXml) {
    auto ids = widget::readPackageIds(WidgetPackage(readBytes(QUORVEX_SAMPLE_WIDGET)));
    EXPECT_EQ(ids.applicationId + L" " + ids.packageId, L"R4vT7mWq2Z.Quorvex R4vT7mWq2Z");
    TempDir dir;
    // clang-format off
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"<widget xmlns:t=\"http://tizen.org/ns/widgets\"><t:application\n package='Ab12345678' id='Ab12345678.App'/></widget>", L"Ab12345678.App"},
        {"<widget xmlns:tz = 'http://tizen.org/ns/widgets'><tz:application id='Ab12345678.Q' package='Ab12345678'/></widget>", L"Ab12345678.Q"},
        {R"(<widget><tizen:applicationx id="X.Y" package="X"/><tizen:application required_version="2.3" id="Pk.Name" package="Pk"/></widget>)", L"Pk.Name"},
        {R"(<widget><tizen:application id="Other.App" package="Pk"/></widget>)", nullptr},
        {R"(<widget><tizen:application id="Pk.a&amp;b" package="Pk"/></widget>)", nullptr},
        {R"(<widget><tizen:application id="Pk." package="Pk"/></widget>)", nullptr},
        {R"(<widget><tizen:application id="PkxApp" package="Pk"/></widget>)", nullptr},
        {R"(<widget><tizen:application package="Pk"/></widget>)", nullptr},
        {"<widget></widget>", nullptr},
        {"", nullptr},  // no config.xml
    };
    // clang-format on
    for (const auto& [xml, expected] : cases) {
        WidgetPackage package(zipOf(dir / "w", {{*xml ? "config.xml" : "a.xml", xml}}));
        if (expected) {
            EXPECT_EQ(widget::readPackageIds(package).applicationId, expected) << xml;
        } else {
            EXPECT_THROW(widget::readPackageIds(package), PackageError) << xml;
        }
    }
}

}  // namespace
