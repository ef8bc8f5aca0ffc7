// The certificate profile checks over real test profiles (made by make-profile.sh, read through
// the host's file system and OpenSSL), and the texts that name each problem.
#include <gtest/gtest.h>

#include <cwctype>
#include <set>

#include "platform/memory/memory_files.h"
#include "platform/posix/crypto_openssl.h"
#include "platform/posix/files_posix.h"
#include "signing_support.h"
#include "src/signing_profile.h"
#include "src/string_table.h"

using namespace signing_test;
using namespace std::chrono;
using widget::ProfileProblemKind;

namespace {

class Profiles : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        const std::pair<const char*, const char*> made[] = {
            {"good", ""},
            {"san", "--duid-in san --duid TV-SAN --duid TV-SAN2"},
            {"xml", "--duid-in profile --duid TV-XML"},
            {"expired", "--validity expired"},
            {"not-yet", "--validity not-yet-valid"},
            {"swapped", "--swap"},
            {"empty", "--password ''"},
            {"профиль Ä", "--legacy --password 'пароль Ä' --distributor-password 'другой'"},
            {"4096", "--bits 4096"},
        };
        for (const auto& [name, options] : made) {
            RunResult r = makeProfile(dir_->path() / name, options);
            ASSERT_EQ(r.status, 0) << name << ": " << r.output;
        }
        fs::copy(dir_->path() / "good", dir_->path() / "truncated");
        auto author = readBytes(dir_->path() / "good" / "author.p12");
        author.resize(author.size() / 2);
        writeBytes(dir_->path() / "truncated" / "author.p12", author);
        fs::copy(dir_->path() / "good", dir_->path() / "huge");
        writeBytes(dir_->path() / "huge" / "distributor.p12",
                   std::vector<unsigned char>(widget::maxKeyFileBytes * 3, 0x30));
        // A file of certificates alone, and one of a key alone.
        for (const auto& [name, options] :
             {std::pair{"no key", "-nokeys"}, {"no cert", "-nocerts"}}) {
            fs::path copy = dir_->path() / name, pem = dir_->path() / (std::string(name) + ".pem");
            fs::copy(dir_->path() / "good", copy);
            RunResult r =
                run("openssl pkcs12 -in " + quote((copy / "author.p12").string()) +
                    " -passin pass:test-pass -nodes -out " + quote(pem.string()) +
                    " && openssl pkcs12 -export " + options + " -in " + quote(pem.string()) +
                    " -inkey " + quote(pem.string()) + " -passout pass:test-pass -out " +
                    quote((copy / "author.p12").string()));
            ASSERT_EQ(r.status, 0) << r.output;
        }
        fs::create_directories(dir_->path() / "empty folder");
        fs::create_directories(dir_->path() / "author only");
        fs::copy(dir_->path() / "good" / "author.p12", dir_->path() / "author only");
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::wstring folder(const std::string& name) {
        return platform::fromUtf8((dir_->path() / name).string());
    }

    std::optional<widget::ProfileProblem> check(
        const std::string& name, const wchar_t* author, const wchar_t* distributor,
        std::optional<std::wstring> duid, system_clock::time_point now = system_clock::now()) {
        platform::posix::PosixFileSystem files;
        return widget::checkProfile(widget::readProfile(files, folder(name)), crypto_,
                                    platform::Secret(author), platform::Secret(distributor), now,
                                    duid);
    }

    platform::OpenSslCrypto crypto_;
    static inline TempDir* dir_ = nullptr;
};

TEST_F(Profiles, FirstProblemOfEachProfile) {
    enum Who { none, author, distributor };
    struct Case {
        const char* profile;
        const wchar_t* authorPassword;
        const wchar_t* distributorPassword;
        std::optional<std::wstring> duid;
        std::optional<ProfileProblemKind> problem;
        Who file;
    };
    using enum ProfileProblemKind;
    const wchar_t *p = L"test-pass", *d = L"TESTDUID0001";
    const std::nullopt_t ok = std::nullopt;
    const Case cases[] = {
        {"good", p, p, d, ok, none},
        {"good", p, p, std::nullopt, ok, none},  // before the TV is reached
        {"good", p, p, L"OTHERTV", duidNotListed, distributor},
        {"san", p, p, L"TV-SAN2", ok, none},
        {"san", p, p, L"TV-XML", duidNotListed, distributor},
        {"xml", p, p, L"TV-XML\r\n", ok, none},
        {"xml", p, p, L"TV-SAN", duidNotListed, distributor},
        {"expired", p, p, d, expired, author},
        {"not-yet", p, p, d, notYetValid, author},
        {"swapped", p, p, d, swapped, author},
        {"good", L"wrong", p, d, wrongPassword, author},
        {"good", p, L"test-pas", d, wrongPassword, distributor},
        {"good", L"", L"", d, wrongPassword, author},
        {"empty", L"", L"", d, ok, none},
        {"empty", L"x", L"", d, wrongPassword, author},
        {"профиль Ä", L"пароль Ä", L"другой", d, ok, none},
        {"профиль Ä", L"пароль A", L"другой", d, wrongPassword, author},
        {"профиль Ä", L"пароль Ä", L"пароль Ä", d, wrongPassword, distributor},
        {"4096", p, p, d, ok, none},
        {"truncated", p, p, d, notKeyFile, author},
        {"no key", p, p, d, notKeyFile, author},
        {"no cert", p, p, d, notKeyFile, author},
        {"huge", p, p, d, notKeyFile, distributor},
        {"empty folder", p, p, d, fileMissing, author},
        {"author only", p, p, d, fileMissing, distributor},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " " + platform::toUtf8(c.authorPassword) + "/" +
                     platform::toUtf8(c.distributorPassword) + " " +
                     platform::toUtf8(c.duid.value_or(L"-")));
        auto problem = check(c.profile, c.authorPassword, c.distributorPassword, c.duid);
        EXPECT_EQ(problem.has_value(), c.problem.has_value())
            << (problem ? platform::toUtf8(widget::profileProblemText(*problem, 1)) : "");
        if (problem && c.problem) {
            EXPECT_EQ(problem->kind, *c.problem);
            EXPECT_EQ(problem->file, folder(c.profile) + (c.file == author ? L"\\author.p12"
                                                                           : L"\\distributor.p12"));
            if (problem->kind == duidNotListed) {
                EXPECT_EQ(problem->duid, *c.duid);
            }
            if (problem->kind == ProfileProblemKind::wrongPassword) {
                EXPECT_EQ(problem->emptyPassword,
                          std::wstring(c.file == author ? c.authorPassword : c.distributorPassword)
                              .empty());
            }
        }
    }
}

TEST_F(Profiles, DatesAreJudgedByTheClockGiven) {
    auto now = system_clock::now();
    auto inTwoMonths = now + hours(24 * 61), inTwoYears = now + hours(24 * 730);
    EXPECT_FALSE(check("not-yet", L"test-pass", L"test-pass", std::nullopt, inTwoMonths));
    auto expired = check("good", L"test-pass", L"test-pass", std::nullopt, inTwoYears);
    ASSERT_TRUE(expired);
    EXPECT_EQ(expired->kind, ProfileProblemKind::expired);
    // The dates named are the certificate's: valid from yesterday for one year.
    EXPECT_LT(abs(duration_cast<hours>(expired->notBefore - (now - hours(24))).count()), 2);
    EXPECT_LT(abs(duration_cast<hours>(expired->notAfter - expired->notBefore).count() - 365 * 24),
              25);
}

TEST(ProfileDuids, DeviceProfileEntriesAreTrimmedAndEmptyOnesSkipped) {
    EXPECT_EQ(
        widget::deviceIdsOf(std::string("<TestDevice> A1 </TestDevice><TestDevice></"
                                        "TestDevice><TestDevice>B2</TestDevice><TestDevice>")),
        (std::vector<std::wstring>{L"A1", L"B2"}));
}

TEST_F(Profiles, KeyFileChainIsEndEntityThenIntermediateWithoutRoot) {
    // A file that carries its root too: the root is left out.
    fs::path withRoot = dir_->path() / "with-root.p12";
    fs::path good = dir_->path() / "good";
    fs::path pem = dir_->path() / "with-root.pem";
    RunResult r =
        run("openssl pkcs12 -in " + quote((good / "author.p12").string()) +
            " -passin pass:test-pass -nodes -out " + quote(pem.string()) + " && cat " +
            quote((dir_->path() / "ca/author-root.pem").string()) + " >> " + quote(pem.string()) +
            " && openssl pkcs12 -export -in " + quote(pem.string()) +
            " -passout pass:test-pass -out " + quote(withRoot.string()));
    ASSERT_EQ(r.status, 0) << r.output;
    for (const fs::path& file : {good / "author.p12", withRoot}) {
        auto key = crypto_.openKeyFile(readBytes(file), platform::Secret(L"test-pass"));
        ASSERT_EQ(key->chain().size(), 2u) << file;
        EXPECT_EQ(key->chain()[0].subjectCommonName, L"Quorvex Test Author");
        EXPECT_EQ(key->chain()[0].issuerCommonName, L"Test Samsung Author CA Class");
        EXPECT_EQ(key->chain()[1].issuerCommonName, L"Test Samsung Author Root CA");
        EXPECT_FALSE(key->chain()[0].der.empty());
    }
}

TEST_F(Profiles, KeyFileProblemsAreTold) {
    using platform::KeyFileProblem;
    const std::tuple<const char*, const wchar_t*, KeyFileProblem> cases[] = {
        {"good", L"test-pas", KeyFileProblem::wrongPassword},
        {"truncated", L"test-pass", KeyFileProblem::notPkcs12},
        {"no key", L"test-pass", KeyFileProblem::noKey},
        {"no cert", L"test-pass", KeyFileProblem::noCertificate},
    };
    for (const auto& [name, password, expected] : cases) {
        try {
            crypto_.openKeyFile(readBytes(dir_->path() / name / "author.p12"),
                                platform::Secret(password));
            ADD_FAILURE() << name << ": opened";
        } catch (const platform::KeyFileError& e) {
            EXPECT_EQ(e.problem(), expected) << name << ": " << e.what();
        }
    }
}

TEST_F(Profiles, FindsTheFoldersHoldingBothKeyFiles) {
    platform::posix::PosixFileSystem files;
    auto found = widget::findProfiles(files, platform::fromUtf8(dir_->path().string()));
    std::set<std::wstring> expected;
    for (const char* name : {"good", "san", "xml", "expired", "not-yet", "swapped", "empty",
                             "профиль Ä", "4096", "truncated", "huge", "no key", "no cert"}) {
        expected.insert(platform::fromUtf8(dir_->path().string()) + L"\\" +
                        platform::fromUtf8(name));
    }
    EXPECT_EQ(std::set<std::wstring>(found.begin(), found.end()), expected);
    EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));

    platform::memory::MemoryFileSystem memory;
    memory.directories = {L"root\\a", L"root\\b", L"root\\a\\deep", L"other\\c"};
    memory.files = {{L"root\\a\\author.p12", ""},
                    {L"root\\a\\distributor.p12", ""},
                    {L"root\\b\\author.p12", ""},
                    {L"other\\c\\author.p12", ""},
                    {L"other\\c\\distributor.p12", ""}};
    EXPECT_EQ(widget::findProfiles(memory, L"root"), std::vector<std::wstring>{L"root\\a"});
}

TEST(ProfileTexts, EachProblemNamesWhatIsWrongInBothLanguages) {
    using widget::ProfileProblem;
    auto from = sys_days{2025y / 11 / 9} + hours(16) + minutes(31);
    auto until = sys_days{2026y / 11 / 9} + hours(16) + minutes(31);
    const std::wstring file = L"C:\\Users\\Иван\\SamsungCertificate\\tv\\author.p12";
    struct Case {
        ProfileProblem problem;
        std::vector<std::wstring> named;  // what both languages must say
    };
    const Case cases[] = {
        {{ProfileProblemKind::fileMissing, file}, {file}},
        {{ProfileProblemKind::wrongPassword, file}, {file}},
        {{ProfileProblemKind::wrongPassword, file, true}, {file}},
        {{ProfileProblemKind::notKeyFile, file}, {file, L"PKCS#12"}},
        {{ProfileProblemKind::swapped, file}, {file, L"TizenSDK"}},
        {{ProfileProblemKind::expired, file, false, from, until},
         {file, L"2026-11-09 16:31 UTC", L"2025-11-09 16:31 UTC"}},
        {{ProfileProblemKind::notYetValid, file, false, from, until},
         {file, L"2025-11-09 16:31 UTC"}},
        {{ProfileProblemKind::duidNotListed, file, false, {}, {}, L"QWERTY123", {L"A1", L"B2"}},
         {L"QWERTY123", L"A1, B2", L"Certificate Manager"}},
    };
    std::set<std::wstring> seen;
    for (const auto& c : cases) {
        std::wstring ru = widget::profileProblemText(c.problem, languageRussian);
        std::wstring en = widget::profileProblemText(c.problem, languageEnglish);
        SCOPED_TRACE(platform::toUtf8(en));
        EXPECT_NE(ru, en);
        for (const auto& word : c.named) {
            EXPECT_NE(ru.find(word), std::wstring::npos) << platform::toUtf8(word);
            EXPECT_NE(en.find(word), std::wstring::npos) << platform::toUtf8(word);
        }
        for (const std::wstring& text : {ru, en}) {  // every placeholder filled
            for (std::size_t at = 0; (at = text.find(L'%', at)) != std::wstring::npos; ++at) {
                EXPECT_FALSE(at + 1 < text.size() && iswdigit(text[at + 1]));
            }
        }
        EXPECT_TRUE(seen.insert(en).second) << "two problems read alike";
    }
    // "Not yet valid" says the TV's clock counts too; no DUIDs listed reads as "none".
    EXPECT_NE(widget::profileProblemText(cases[6].problem, languageEnglish).find(L"its own clock"),
              std::wstring::npos);
    ProfileProblem none{ProfileProblemKind::duidNotListed, file, false, {}, {}, L"X", {}};
    EXPECT_NE(widget::profileProblemText(none, languageEnglish).find(L"lists: none"),
              std::wstring::npos);
}

}  // namespace
