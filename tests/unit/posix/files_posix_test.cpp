// Files and embedded payloads on the host.
#include "platform/posix/files_posix.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "payload_originals.h"
#include "platform/error.h"
#include "platform/posix/embedded_resources.h"
#include "platform/text.h"
#include "src/payload/payload.h"
#include "tests/unit/temp_dir.h"

namespace fs = std::filesystem;
using platform::posix::EmbeddedResource;
using platform::posix::EmbeddedResources;

namespace {

const unsigned char toolBytes[] = {'M', 'Z', 0, 1, 2, 0xff, 't', 'o', 'o', 'l'};
const EmbeddedResource table[] = {{L"IUFILE", std::begin(toolBytes), std::end(toolBytes)}};

class PosixFilesTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    platform::posix::PosixFileSystem files;
    EmbeddedResources resources{table};
};

TEST_F(PosixFilesTest, ExtractingOverALongerFileLeavesExactlyTheResource) {
    test::writeAll("iu.exe", std::string(100000, 'x'));
    extractResource(resources, files, L"iu.exe", L"IUFILE");
    EXPECT_EQ(test::readAll("iu.exe"), std::string(std::begin(toolBytes), std::end(toolBytes)));
}

TEST_F(PosixFilesTest, AResourceTheProgramDoesNotCarryRaisesBeforeAnyFileIsCreated) {
    EXPECT_THROW(extractResource(resources, files, L"new.wgt", L"WGTFILE"), platform::Error);
    EXPECT_FALSE(fs::exists("new.wgt"));
    test::writeAll("old.wgt", "old");
    EXPECT_THROW(extractResource(resources, files, L"old.wgt", L"WGTFILE"), platform::Error);
    EXPECT_EQ(test::readAll("old.wgt"), "old");
}

TEST_F(PosixFilesTest, AFailedWriteNamesTheFileAndTheSystemsReason) {
    try {
        files.writeFile(L"missing-dir\\iu.exe", std::span(toolBytes));
        FAIL() << "no exception";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.message(), L"Cannot write \"missing-dir\\iu.exe\": No such file or directory");
    }
}

TEST_F(PosixFilesTest, BackslashesInNamesAreDirectorySeparators) {
    EXPECT_TRUE(files.createDirectory(L"stage"));
    EXPECT_FALSE(files.createDirectory(L"stage"));
    files.writeFile(L"stage\\a.bin", std::span(toolBytes));
    EXPECT_TRUE(files.fileExists(L"stage\\a.bin"));
    EXPECT_EQ(files.readFile(L"stage\\a.bin")->size(), sizeof toolBytes);
    EXPECT_FALSE(files.fileExists(L"stage")) << "a directory is not a file";
    EXPECT_FALSE(files.readFile(L"stage\\none").has_value());
}

TEST_F(PosixFilesTest, DeletingNeverComplains) {
    EXPECT_NO_THROW(deleteIfExists(files, L"absent.wgt"));

    test::writeAll("present.wgt", "x");
    deleteIfExists(files, L"present.wgt");
    EXPECT_FALSE(fs::exists("present.wgt"));

    fs::create_directory("dir.wgt");
    EXPECT_NO_THROW(deleteIfExists(files, L"dir.wgt"));
    EXPECT_TRUE(fs::is_directory("dir.wgt"));
}

TEST_F(PosixFilesTest, ALinkCountsOnlyWhenItsTargetExists) {
    fs::create_symlink("gone", "dangling.wgt");
    EXPECT_FALSE(files.fileExists(L"dangling.wgt"));
    EXPECT_NO_THROW(deleteIfExists(files, L"dangling.wgt"));
    EXPECT_TRUE(fs::is_symlink("dangling.wgt")) << "a dangling link counts as absent";

    test::writeAll("target", "t");
    fs::create_symlink("target", "live.wgt");
    EXPECT_TRUE(files.fileExists(L"live.wgt"));
    deleteIfExists(files, L"live.wgt");
    EXPECT_FALSE(fs::exists(fs::symlink_status("live.wgt")));
    EXPECT_TRUE(fs::exists("target")) << "the link goes, not its target";
}

TEST(EmbeddedPayloadsTest, TheBuildEmbedsTheInputFilesByteForByte) {
    EmbeddedResources resources(platform::posix::embeddedPayloads());
    const auto iu = resources.find(L"IUFILE");
    const auto wgt = resources.find(L"WGTFILE");
    const std::string iuOriginal = test::readAll(platform::toUtf8(QUORVEX_IUFILE_ORIGINAL));
    const std::string wgtOriginal = test::readAll(platform::toUtf8(QUORVEX_WGTFILE_ORIGINAL));
    ASSERT_FALSE(iuOriginal.empty());
    ASSERT_FALSE(wgtOriginal.empty());
    EXPECT_TRUE(std::string(iu.begin(), iu.end()) == iuOriginal) << "IUFILE differs";
    EXPECT_TRUE(std::string(wgt.begin(), wgt.end()) == wgtOriginal) << "WGTFILE differs";
    // Resource names do not depend on case, as on Windows.
    EXPECT_EQ(resources.find(L"iufile").data(), iu.data());
    EXPECT_THROW(resources.find(L"NOSUCHFILE"), platform::Error);
}

}  // namespace
