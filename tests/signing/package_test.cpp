// The widget package reader on broken and hostile archives: each fault refused for its reason,
// random damage never worse than a refusal, and the package's ids read from config.xml.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "signing_support.h"
#include "src/widget_ids.h"
#include "src/widget_package.h"

using namespace signing_test;
using widget::PackageError;
using widget::WidgetPackage;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes sample() {
    return readBytes(QUORVEX_SAMPLE_WIDGET);
}

void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// Gives a member another name of the same length, in its central entry and its local header.
void rename(Bytes& b, const widget::ZipMember& m, const std::string& name) {
    ASSERT_EQ(name.size(), m.name.size());
    std::copy(name.begin(), name.end(), b.begin() + m.centralOffset + 46);
    std::copy(name.begin(), name.end(), b.begin() + m.recordOffset + 30);
}

// Reads everything the signer reads; only PackageError may come out.
void readAll(const Bytes& bytes) {
    WidgetPackage package(bytes);
    for (const auto& m : package.members()) {
        package.contents(m);
    }
}

TEST(WidgetPackage, RefusesEachFaultForItsReason) {
    const Bytes original = sample();
    const WidgetPackage parsed(original);
    const widget::ZipMember& index = *parsed.find("index.html");
    const widget::ZipMember& config = *parsed.find("config.xml");
    const widget::ZipMember& css = *parsed.find("css/style.css");
    const std::size_t end = original.size() - 22;
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        const wchar_t* reason;
    };
    const Case cases[] = {
        {"encrypted", [&](Bytes& b) { put16(b, index.centralOffset + 8, 1); }, L"encrypted"},
        {"bzip2",
         [&](Bytes& b) {
             put16(b, index.centralOffset + 10, 12);
             put16(b, index.recordOffset + 8, 12);
         },
         L"compression"},
        {"parent folder", [&](Bytes& b) { rename(b, index, "../ex.html"); }, L"leaves its folder"},
        {"absolute", [&](Bytes& b) { rename(b, index, "/ndex.html"); }, L"not a relative path"},
        {"drive", [&](Bytes& b) { rename(b, index, "C:ndex.htm"); }, L"not a relative path"},
        {"backslash", [&](Bytes& b) { rename(b, css, "css\\style.css"); }, L"not a relative path"},
        {"duplicate", [&](Bytes& b) { rename(b, config, "index.html"); }, L"appears twice"},
        {"zip64 count", [&](Bytes& b) { put16(b, end + 10, 0xFFFF); }, L"zip64"},
        {"zip64 size", [&](Bytes& b) { put32(b, index.centralOffset + 20, 0xFFFFFFFF); }, L"zip64"},
        {"huge member", [&](Bytes& b) { put32(b, index.centralOffset + 24, 300u << 20); },
         L"impossible size"},
        {"overlap",
         [&](Bytes& b) { put32(b, index.centralOffset + 20, index.compressedSize + 40); },
         L"overlap"},
        {"directory outside", [&](Bytes& b) { put32(b, end + 16, 0x7FFFFFFF); }, L"outside"},
        {"local header differs", [&](Bytes& b) { put16(b, config.recordOffset + 8, 0); },
         L"does not match"},
        {"split", [&](Bytes& b) { put16(b, end + 4, 1); }, L"split"},
        {"no end record", [&](Bytes& b) { put32(b, end, 0); }, L"no end of central directory"},
    };
    for (const auto& c : cases) {
        Bytes bytes = original;
        c.damage(bytes);
        try {
            readAll(bytes);
            ADD_FAILURE() << c.name << ": taken";
        } catch (const PackageError& e) {
            EXPECT_NE(e.message().find(c.reason), std::wstring::npos) << c.name << ": " << e.what();
        }
    }
}

TEST(WidgetPackage, DamagedContentsFailTheirCheck) {
    const Bytes original = sample();
    const WidgetPackage parsed(original);
    const widget::ZipMember& main = *parsed.find("js/main.js");
    ASSERT_EQ(main.method, 8);
    const std::pair<const char*, std::function<void(Bytes&)>> cases[] = {
        {"flipped data", [&](Bytes& b) { b[main.dataOffset + main.compressedSize / 2] ^= 0x10; }},
        {"wrong crc", [&](Bytes& b) { put32(b, main.centralOffset + 16, main.crc32 ^ 1); }},
        {"size too small", [&](Bytes& b) { put32(b, main.centralOffset + 24, main.size - 1); }},
        {"size too large", [&](Bytes& b) { put32(b, main.centralOffset + 24, main.size + 1); }},
    };
    for (const auto& [name, damage] : cases) {
        Bytes bytes = original;
        damage(bytes);
        WidgetPackage package(bytes);
        EXPECT_THROW(package.contents(*package.find("js/main.js")), PackageError) << name;
    }
    EXPECT_EQ(parsed.contents(main).size(), main.size);
}

// Truncations and random damage: never a crash or a hang (the sanitizer build would show
// either), only refusals.
TEST(WidgetPackage, RandomDamageIsRefusedOrRead) {
    const Bytes original = sample();
    for (std::size_t size = 0; size < original.size(); size += size < 64 ? 1 : 37) {
        EXPECT_THROW(WidgetPackage(Bytes(original.begin(), original.begin() + size)), PackageError)
            << size;
    }
    std::mt19937 random(15);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = original;
        for (int flips = 1 + round % 4; flips > 0; --flips) {
            // Headers are where damage matters: aim at the central directory half the time.
            std::size_t from = round % 2 ? original.size() - 600 : 0;
            bytes[from + random() % (original.size() - from)] ^=
                static_cast<unsigned char>(1 + random() % 255);
        }
        try {
            readAll(bytes);
        } catch (const PackageError&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 1000);  // the damage does reach what is checked
}

TEST(WidgetPackage, ReadsItsIdsFromConfigXml) {
    TempDir dir;
    auto ids = widget::readPackageIds(WidgetPackage(sample()));
    EXPECT_EQ(ids.applicationId, L"R4vT7mWq2Z.Quorvex");
    EXPECT_EQ(ids.packageId, L"R4vT7mWq2Z");

    const std::pair<const char*, const wchar_t*> cases[] = {
        {"<widget xmlns:t=\"http://tizen.org/ns/widgets\"><t:application\n package='Ab12345678'"
         " id='Ab12345678.App'/></widget>",
         L"Ab12345678.App"},
        {"<widget><tizen:applicationx id=\"X.Y\" package=\"X\"/><tizen:application "
         "required_version=\"2.3\" id=\"Pk.Name\" package=\"Pk\"/></widget>",
         L"Pk.Name"},
        {"<widget><tizen:application id=\"Other.App\" package=\"Pk\"/></widget>", nullptr},
        {"<widget><tizen:application id=\"Pk.a&amp;b\" package=\"Pk\"/></widget>", nullptr},
        {"<widget><tizen:application id=\"Pk.\" package=\"Pk\"/></widget>", nullptr},
        {"<widget><tizen:application package=\"Pk\"/></widget>", nullptr},
        {"<widget></widget>", nullptr},
    };
    for (const auto& [xml, expected] : cases) {
        WidgetPackage package(zipOf(dir.path() / "w", {{"config.xml", xml}}));
        if (expected) {
            EXPECT_EQ(widget::readPackageIds(package).applicationId, expected) << xml;
        } else {
            EXPECT_THROW(widget::readPackageIds(package), PackageError) << xml;
        }
    }
    EXPECT_THROW(widget::readPackageIds(WidgetPackage(zipOf(dir.path() / "w", {{"a.xml", "x"}}))),
                 PackageError);
}

}  // namespace
