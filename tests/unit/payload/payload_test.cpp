// Writing out and removing the carried files, over the in-memory platform.
#include "src/payload/payload.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/error.h"
#include "platform/memory/memory_files.h"

using platform::memory::MemoryFileSystem;
using platform::memory::MemoryResources;

namespace {

using Log = std::vector<std::wstring>;

class PayloadTest : public ::testing::Test {
  protected:
    void SetUp() override { resources.add(L"IUFILE", std::string("MZ\0\x01tool", 7)); }

    MemoryFileSystem files;
    MemoryResources resources;
};

TEST_F(PayloadTest, AMissingResourceRaisesBeforeAnyFileIsTouched) {
    files.files[L"widget.wgt"] = "old";
    files.log.clear();
    try {
        extractResource(resources, files, L"widget.wgt", L"WGTFILE");
        FAIL() << "no exception";
    } catch (const platform::Error& e) {
        EXPECT_NE(e.message().find(L"WGTFILE"), std::wstring::npos) << e.what();
    }
    EXPECT_TRUE(files.log.empty());
    EXPECT_EQ(files.files[L"widget.wgt"], "old");
}

TEST_F(PayloadTest, AFailedWriteRaisesNamingTheFileAndTheReason) {
    files.failingWrites[L"iu.exe"] = L"Access is denied.";
    try {
        extractResource(resources, files, L"iu.exe", L"IUFILE");
        FAIL() << "no exception";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.message(), L"Cannot write \"iu.exe\": Access is denied.");
    }
}

TEST_F(PayloadTest, DeletingAMissingFileOnlyLooks) {
    deleteIfExists(files, L"iu.exe");
    EXPECT_EQ(files.log, (Log{L"exists iu.exe"}));
}

TEST_F(PayloadTest, DeletionNeverComplains) {
    files.files[L"held.wgt"] = "x";
    files.failingDeletes.insert(L"held.wgt");
    EXPECT_NO_THROW(deleteIfExists(files, L"held.wgt"));
    EXPECT_TRUE(files.files.contains(L"held.wgt"));

    files.files[L"iu.exe"] = "x";
    files.onDelete = [](const std::wstring& name) {
        throw platform::Error(L"Cannot delete \"" + name + L"\"");
    };
    EXPECT_NO_THROW(deleteIfExists(files, L"iu.exe"));
    files.onDelete = [](const std::wstring&) { throw std::runtime_error("low-level failure"); };
    EXPECT_NO_THROW(deleteIfExists(files, L"iu.exe"));
    EXPECT_EQ(files.log.back(), L"delete iu.exe");
}

}  // namespace
