// Files and the payloads this executable carries, on Windows (run under Wine).
#include "platform/win32/files_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "payload_originals.h"
#include "platform/error.h"
#include "src/payload/payload.h"
#include "tests/unit/win32/win32_test_support.h"

namespace fs = std::filesystem;

namespace {

class HeldFile {
  public:
    explicit HeldFile(const wchar_t* name)
        : handle_(CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

class Win32FilesTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    platform::win32::Win32FileSystem files;
    platform::win32::ModuleResources resources;
};

TEST_F(Win32FilesTest, ExtractingOverALongerFileLeavesExactlyTheResource) {
    const auto carried = resources.find(L"IUFILE");
    std::ofstream("iu.exe", std::ios::binary) << std::string(carried.size() + 4096, 'x');
    extractResource(resources, files, L"iu.exe", L"IUFILE");
    EXPECT_EQ(fs::file_size("iu.exe"), carried.size());
    EXPECT_TRUE(test::readAll("iu.exe") == std::string(carried.begin(), carried.end()));
}

TEST_F(Win32FilesTest, AResourceTheProgramDoesNotCarryRaisesBeforeAnyFileIsCreated) {
    EXPECT_THROW(extractResource(resources, files, L"new.wgt", L"NOSUCHFILE"), platform::Error);
    EXPECT_FALSE(fs::exists("new.wgt"));
    std::ofstream("old.wgt") << "old";
    EXPECT_THROW(extractResource(resources, files, L"old.wgt", L"NOSUCHFILE"), platform::Error);
    EXPECT_EQ(test::readAll("old.wgt"), "old");
}

TEST_F(Win32FilesTest, AFileHeldOpenWithoutSharingStaysAndNothingComplains) {
    std::ofstream("held.wgt") << "held";
    {
        const HeldFile held(L"held.wgt");
        ASSERT_TRUE(held.held());
        EXPECT_TRUE(files.fileExists(L"held.wgt"));
        EXPECT_NO_THROW(deleteIfExists(files, L"held.wgt"));
        try {
            files.writeFile(L"held.wgt", std::span<const unsigned char>());
            ADD_FAILURE() << "wrote a file held open without sharing";
        } catch (const platform::WriteError& e) {
            const std::wstring prefix = L"Cannot write \"held.wgt\": ";
            EXPECT_EQ(e.message().substr(0, prefix.size()), prefix) << e.what();
            EXPECT_GT(e.message().size(), prefix.size() + 3) << "no reason given";
            EXPECT_NE(e.message().back(), L'\n');
            EXPECT_TRUE(e.inUse()) << "a file held open is one in use";
        }
    }
    EXPECT_EQ(test::readAll("held.wgt"), "held");
    // A name taken by a directory cannot be written either, but nothing holds it.
    fs::create_directory("taken.wgt");
    try {
        files.writeFile(L"taken.wgt", std::span<const unsigned char>());
        ADD_FAILURE() << "wrote over a directory";
    } catch (const platform::WriteError& e) {
        EXPECT_FALSE(e.inUse()) << e.what();
    }
}

TEST_F(Win32FilesTest, DeletingRemovesFilesAndLeavesEverythingElse) {
    EXPECT_NO_THROW(deleteIfExists(files, L"absent.wgt"));
    std::ofstream("present.wgt") << "x";
    deleteIfExists(files, L"present.wgt");
    EXPECT_FALSE(fs::exists("present.wgt"));

    EXPECT_TRUE(files.createDirectory(L"stage"));
    EXPECT_FALSE(files.createDirectory(L"stage"));
    EXPECT_FALSE(files.fileExists(L"stage")) << "a directory is not a file";
    deleteIfExists(files, L"stage");
    EXPECT_TRUE(fs::is_directory("stage"));
}

TEST_F(Win32FilesTest, WrittenBytesReadBackUnchanged) {
    const unsigned char bytes[] = {0, 1, 0xff, '\r', '\n', 0x1a, 'z'};
    files.writeFile(L"stage.bin", bytes);
    EXPECT_EQ(files.readFile(L"stage.bin"), std::string(std::begin(bytes), std::end(bytes)));
    EXPECT_FALSE(files.readFile(L"absent.bin").has_value());
}

TEST(ModuleResourcesTest, TheExecutableCarriesTheInputFilesByteForByte) {
    platform::win32::Win32FileSystem files;
    platform::win32::ModuleResources resources;
    const auto iu = resources.find(L"IUFILE");
    const auto wgt = resources.find(L"WGTFILE");
    const auto iuOriginal = files.readFile(QUORVEX_IUFILE_ORIGINAL);
    const auto wgtOriginal = files.readFile(QUORVEX_WGTFILE_ORIGINAL);
    ASSERT_TRUE(iuOriginal.has_value());
    ASSERT_TRUE(wgtOriginal.has_value());
    ASSERT_GT(iuOriginal->size(), 0u);
    EXPECT_TRUE(std::string(iu.begin(), iu.end()) == *iuOriginal) << "IUFILE differs";
    EXPECT_TRUE(std::string(wgt.begin(), wgt.end()) == *wgtOriginal) << "WGTFILE differs";
    try {
        resources.find(L"NOSUCHFILE");
        ADD_FAILURE() << "found a resource that is not there";
    } catch (const platform::Error& e) {
        EXPECT_NE(e.message().find(L"NOSUCHFILE"), std::wstring::npos);
    }
}

TEST_F(Win32FilesTest, ListsOnlyTheFoldersDirectlyInside) {
    for (const wchar_t* folder :
         {L"profiles", L"profiles\\тв Ä", L"profiles\\b", L"profiles\\b\\c"})
        ASSERT_TRUE(files.createDirectory(folder));
    files.writeFile(L"profiles\\author.p12", std::span<const unsigned char>{});
    auto found = files.listFolders(L"profiles");
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::wstring>{L"b", L"тв Ä"}));
    EXPECT_TRUE(files.listFolders(L"absent").empty());
}

}  // namespace
