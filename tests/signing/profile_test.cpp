// The certificate profile checks over real test profiles (made by make-profile.sh, read through
// the host's file system and OpenSSL), and the texts that name each problem.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "platform/posix/crypto_openssl.h"
#include "platform/posix/files_posix.h"
#include "signing_support.h"
#include "src/signing/signing_profile.h"
#include "src/texts/texts.h"

using namespace signing_test;
using namespace std::chrono;
using platform::Secret;
using widget::ProfileProblemKind;

namespace {

std::wstring folder(const std::string& name) {
    return platform::fromUtf8((signingProfiles() / name).string());
}

std::optional<widget::ProfileProblem> problemOf(
    const std::string& name, const wchar_t* author, const wchar_t* distributor, const wchar_t* duid,
    system_clock::time_point now = system_clock::now()) {
    platform::posix::PosixFileSystem files;
    platform::OpenSslCrypto crypto;
    return widget::checkProfile(widget::readProfile(files, folder(name)), crypto, Secret(author),
                                Secret(distributor), now,
                                duid ? std::optional<std::wstring>(duid) : std::nullopt);
}

// The first problem told as "kind file [DUID] [empty]", the file named within its folder.
std::string told(const std::string& name, const std::optional<widget::ProfileProblem>& problem) {
    if (!problem) {
        return "ok";
    }
    const char* kinds[] = {"fileMissing", "fileTooLarge", "wrongPassword", "notKeyFile",
                           "swapped",     "expired",      "notYetValid",   "duidNotListed"};
    std::wstring file = problem->file, within = folder(name) + L"\\";
    return kinds[static_cast<int>(problem->kind)] +
           (" " + platform::toUtf8(file.starts_with(within) ? file.substr(within.size()) : file)) +
           (problem->duid.empty() ? "" : " " + platform::toUtf8(problem->duid)) +
           (problem->emptyPassword ? " empty" : "");
}

TEST(Profiles, FirstProblemOfEachProfile) {
    const wchar_t *p = L"test-pass", *d = L"TESTDUID0001";
    // The profile, the two passwords, the TV's DUID (none: the TV not reached yet), the problem.
    // clang-format off
    const std::tuple<const char*, const wchar_t*, const wchar_t*, const wchar_t*, const char*> cases[] = {
        {"good", p, p, d, "ok"},
        {"good", p, p, nullptr, "ok"},
        {"good", p, p, L"OTHERTV", "duidNotListed distributor.p12 OTHERTV"},
        {"san", p, p, L"TV-SAN2", "ok"},
        {"san", p, p, L"TV-XML", "duidNotListed distributor.p12 TV-XML"},
        {"san", p, p, L"TV-SA", "duidNotListed distributor.p12 TV-SA"},
        {"san", p, p, L"TV-SAN22", "duidNotListed distributor.p12 TV-SAN22"},
        {"xml", p, p, L"TV-XML\r\n", "ok"},
        {"xml", p, p, L"TV-SAN", "duidNotListed distributor.p12 TV-SAN"},
        {"xml", p, p, L"TV-XM", "duidNotListed distributor.p12 TV-XM"},
        {"expired", p, p, d, "expired author.p12"},
        {"not-yet", p, p, d, "notYetValid author.p12"},
        {"expired intermediate", p, p, d, "expired distributor.p12"},
        {"swapped", p, p, d, "swapped author.p12"},
        {"good", L"wrong", p, d, "wrongPassword author.p12"},
        {"good", p, L"test-pas", d, "wrongPassword distributor.p12"},
        {"good", L"", L"", d, "wrongPassword author.p12 empty"},
        {"empty", L"", L"", d, "ok"},
        {"empty", L"x", L"", d, "wrongPassword author.p12"},
        {"absent", L"", L"", d, "ok"},
        {"absent", L"", L"x", d, "wrongPassword distributor.p12"},
        {"профиль Ä", L"пароль Ä", L"другой", d, "ok"},
        {"профиль Ä", L"пароль A", L"другой", d, "wrongPassword author.p12"},
        {"профиль Ä", L"пароль Ä", L"пароль Ä", d, "wrongPassword distributor.p12"},
        {"4096", p, p, d, "ok"},
        {"truncated", p, p, d, "notKeyFile author.p12"},
        {"no key", p, p, d, "notKeyFile author.p12"},
        {"no cert", p, p, d, "notKeyFile author.p12"},
        {"huge", p, p, d, "fileTooLarge distributor.p12"},
        {"empty folder", p, p, d, "fileMissing author.p12"},
        {"author only", p, p, d, "fileMissing distributor.p12"},
    };
    // clang-format on
    for (const auto& [profile, author, distributor, duid, expected] : cases) {
        EXPECT_EQ(told(profile, problemOf(profile, author, distributor, duid)), expected)
            << profile << " " << platform::toUtf8(author) << "/" << platform::toUtf8(distributor);
    }
}

TEST(Profiles, DatesAreJudgedByTheClockGiven) {
    auto now = system_clock::now();
    EXPECT_EQ(
        told("not-yet", problemOf("not-yet", L"test-pass", L"test-pass", nullptr, now + days(61))),
        "ok");
    auto expired = problemOf("good", L"test-pass", L"test-pass", nullptr, now + days(730));
    ASSERT_EQ(told("good", expired), "expired author.p12");
    // The dates named are the certificate's: valid from yesterday for one year.
    EXPECT_LT(abs(duration_cast<hours>(expired->notBefore - (now - days(1))).count()), 2);
    EXPECT_LT(abs(duration_cast<hours>(expired->notAfter - expired->notBefore - days(365)).count()),
              25);
    // An intermediate that has ended is named with its own dates: it ended a month ago, while the
    // key's own certificate is still valid.
    auto intermediate = problemOf("expired intermediate", L"test-pass", L"test-pass", nullptr, now);
    ASSERT_EQ(told("expired intermediate", intermediate), "expired distributor.p12");
    EXPECT_LT(abs(duration_cast<days>(intermediate->notAfter - (now - months(1))).count()), 3);
}

// A certificate is valid from the first to the last instant it names, both included, as X.509 has
// it: a TV takes it then, so the check must too.
TEST(Profiles, TheFirstAndLastInstantsOfEveryCertificateAreValid) {
    platform::posix::PosixFileSystem files;
    platform::OpenSslCrypto crypto;
    const auto profile = widget::readProfile(files, folder("good"));
    widget::ProfileCertificates read;
    ASSERT_FALSE(widget::checkProfile(profile, crypto, Secret(L"test-pass"), Secret(L"test-pass"),
                                      system_clock::now(), std::nullopt, &read));
    auto first = system_clock::time_point::min(), last = system_clock::time_point::max();
    for (const auto* chain : {&read.author, &read.distributor}) {
        for (const auto& certificate : *chain) {
            first = std::max(first, certificate.notBefore);
            last = std::min(last, certificate.notAfter);
        }
    }
    ASSERT_LT(first, last);
    const auto kindAt = [&](system_clock::time_point now) {
        const auto problem = widget::checkProfile(profile, read, now, std::nullopt);
        return problem ? static_cast<int>(problem->kind) : -1;
    };
    EXPECT_EQ(kindAt(first), -1);
    EXPECT_EQ(kindAt(last), -1);
    EXPECT_EQ(kindAt(first - seconds(1)), static_cast<int>(ProfileProblemKind::notYetValid));
    EXPECT_EQ(kindAt(last + seconds(1)), static_cast<int>(ProfileProblemKind::expired));
}

// A key file opens to its certificate and the intermediate (the root left out), or says why not.
TEST(Profiles, KeyFilesOpenToTheirChainOrSayWhyNot) {
    const std::string chain =
        "Quorvex Test Author < Test Samsung Author CA Class < Test Samsung Author Root CA";
    // clang-format off
    const std::tuple<const char*, const wchar_t*, std::string> cases[] = {
        {"good", L"test-pass", chain}, {"with root", L"test-pass", chain}, {"good", L"test-pas", "wrongPassword"},
        {"absent", L"", chain}, {"absent", L" ", "wrongPassword"},
        {"truncated", L"test-pass", "notPkcs12"}, {"no key", L"test-pass", "noKey"}, {"no cert", L"test-pass", "noCertificate"},
    };
    // clang-format on
    for (const auto& [name, password, expected] : cases) {
        platform::OpenSslCrypto crypto;
        std::string told;
        try {
            auto key = crypto.openKeyFile(readBytes(signingProfiles() / name / "author.p12"),
                                          Secret(password));
            for (const auto& certificate : key->chain()) {
                told += platform::toUtf8(certificate.subjectCommonName) + " < ";
            }
            told += platform::toUtf8(key->chain().back().issuerCommonName);
        } catch (const platform::KeyFileError& e) {
            const char* problems[] = {"wrongPassword", "notPkcs12", "noKey", "noCertificate"};
            told = problems[static_cast<int>(e.problem())];
        }
        EXPECT_EQ(told, expected) << name;
    }
}

// Only folders right under the root count: not "nest", whose inner folder holds a profile.
TEST(Profiles, FindsTheFoldersHoldingBothKeyFiles) {
    platform::posix::PosixFileSystem files;
    const std::wstring root = platform::fromUtf8(signingProfiles().path.string());
    auto found = widget::findProfiles(files, root);
    std::vector<std::wstring> expected;
    for (const char* name :
         {"4096", "absent", "empty", "expired", "expired intermediate", "good", "huge", "no cert",
          "no key", "not-yet", "san", "swapped", "truncated", "with root", "xml", "профиль Ä"}) {
        expected.push_back(root + L"\\" + platform::fromUtf8(name));
    }
    EXPECT_EQ(found, expected);
}

TEST(ProfileDuids, DeviceProfileEntriesAreTrimmedAndEmptyOnesSkipped) {
    EXPECT_EQ(
        widget::deviceIdsOf(std::string("<TestDevice> A1 </TestDevice><TestDevice></TestDevice>"
                                        "<TestDevice>B2</TestDevice><TestDevice>")),
        (std::vector<std::wstring>{L"A1", L"B2"}));
}

TEST(ProfileTexts, EachProblemNamesWhatIsWrongInBothLanguages) {
    using enum ProfileProblemKind;
    auto from = sys_days{2025y / 11 / 9} + hours(16) + minutes(31), until = from + days(365);
    const std::wstring file = L"C:\\Users\\Иван\\SamsungCertificate\\tv\\author.p12";
    const std::wstring fromText = L"2025-11-09 16:31 UTC", untilText = L"2026-11-09 16:31 UTC";
    // The problem; what both languages name; what the English text says besides.
    // clang-format off
    const std::tuple<widget::ProfileProblem, std::vector<std::wstring>, std::wstring> cases[] = {
        {{fileMissing, file}, {file}, L""},
        {{fileTooLarge, file}, {file, L"Certificate Manager"}, L"too large"},
        {{wrongPassword, file}, {file}, L""},
        {{wrongPassword, file, true}, {file}, L"No password was typed"},
        {{notKeyFile, file}, {file, L"PKCS#12"}, L""},
        {{swapped, file}, {file, L"TizenSDK"}, L""},
        {{expired, file, false, from, until}, {file, untilText, fromText}, L""},
        {{notYetValid, file, false, from, until}, {file, fromText}, L"its own clock"},
        {{duidNotListed, file, false, {}, {}, L"QWERTY123", {L"A1", L"B2"}}, {L"QWERTY123", L"A1, B2", L"Certificate Manager"}, L""},
        {{duidNotListed, file, false, {}, {}, L"X", {}}, {L"X"}, L"lists: none"},
    };
    // clang-format on
    std::set<std::wstring> seen;
    for (const auto& [problem, named, english] : cases) {
        std::wstring ru = widget::profileProblemText(problem, Language::russian),
                     en = widget::profileProblemText(problem, Language::english);
        SCOPED_TRACE(platform::toUtf8(en));
        EXPECT_TRUE(ru != en && en.find(english) != std::wstring::npos && seen.insert(en).second);
        for (const auto& word : named) {
            EXPECT_TRUE(ru.find(word) != std::wstring::npos && en.find(word) != std::wstring::npos)
                << platform::toUtf8(word);
        }
        EXPECT_FALSE(std::regex_search(ru + en, std::wregex(L"%\\d"))) << "a placeholder left";
    }
}

}  // namespace
