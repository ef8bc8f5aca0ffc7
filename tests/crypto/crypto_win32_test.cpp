// Win32Crypto against certificate profiles that run-crypto-test.sh made with openssl just before
// (QUORVEX_PROFILES names their folder). The signatures are written beside them for the script
// to check with openssl.
#include <gtest/gtest.h>
#include <windows.h>

#include <wincrypt.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>

#include "platform/text.h"
#include "platform/win32/crypto_win32.h"

namespace {

using platform::KeyFileError;
using platform::KeyFileProblem;
using platform::Secret;
namespace fs = std::filesystem;

fs::path profiles() {
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"QUORVEX_PROFILES", value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        throw std::runtime_error("QUORVEX_PROFILES is not set: run through run-crypto-test.sh");
    return fs::path(std::wstring(value, length));
}

std::vector<unsigned char> readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool underWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The key containers of this user, to see an imported key come and go.
std::set<std::string> keyContainers() {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT))
        throw std::runtime_error("no provider");
    std::set<std::string> names;
    char name[1024];
    DWORD size = sizeof name;
    for (DWORD flags = CRYPT_FIRST; CryptGetProvParam(provider, PP_ENUMCONTAINERS,
                                                      reinterpret_cast<BYTE*>(name), &size, flags);
         flags = CRYPT_NEXT, size = sizeof name)
        names.insert(name);
    CryptReleaseContext(provider, 0);
    return names;
}

std::unique_ptr<platform::SigningKey> open(platform::Crypto& crypto, const std::wstring& file,
                                           const std::string& password) {
    return crypto.openKeyFile(readFile(profiles() / file), Secret(platform::fromUtf8(password)));
}

std::optional<KeyFileProblem> problemOpening(const std::wstring& file,
                                             const std::string& password) {
    platform::win32::Win32Crypto crypto;
    try {
        open(crypto, file, password);
        return std::nullopt;
    } catch (const KeyFileError& e) {
        return e.problem();
    }
}

TEST(Win32Crypto, Sha512MatchesOpenssl) {
    platform::win32::Win32Crypto crypto;
    for (const char* size : {"0", "3", "200000"}) {
        SCOPED_TRACE(size);
        const std::string name = std::string("data-") + size;
        EXPECT_EQ(crypto.sha512(readFile(profiles() / (name + ".bin"))),
                  readFile(profiles() / (name + ".sha512")));
    }
}

TEST(Win32Crypto, TellsWhyAKeyFileDoesNotOpen) {
    // Under Wine each UTF-16 unit of the password is cut to one byte before it reaches the
    // PKCS#12 code, so a password with Cyrillic letters never matches what openssl wrote (UTF-8
    // turned into UTF-16, as Windows itself does): the user is told the password is wrong.
    const std::optional<KeyFileProblem> cyrillic =
        underWine() ? std::optional(KeyFileProblem::wrongPassword) : std::nullopt;
    // Wine's import (GnuTLS) needs both a key and a certificate in the file, and fails a file
    // without either the way it fails a wrong password.
    const auto missing = [](KeyFileProblem onWindows) {
        return underWine() ? KeyFileProblem::wrongPassword : onWindows;
    };
    const struct {
        const wchar_t* file;
        const char* password;
        std::optional<KeyFileProblem> expected;
    } cases[] = {
        {L"plain\\author.p12", "test-pass", std::nullopt},
        {L"legacy\\distributor.p12", "other-pass", std::nullopt},
        {L"empty\\author.p12", "", std::nullopt},
        {L"plain\\author.p12", "wrong", KeyFileProblem::wrongPassword},
        {L"plain\\author.p12", "", KeyFileProblem::wrongPassword},
        {L"plain\\author.p12", "test-pass ", KeyFileProblem::wrongPassword},
        {L"legacy\\distributor.p12", "legacy-pass", KeyFileProblem::wrongPassword},
        {L"cyrillic\\author.p12", "пароль-ключа", cyrillic},
        {L"bad\\truncated.p12", "test-pass", KeyFileProblem::notPkcs12},
        {L"bad\\garbage.p12", "test-pass", KeyFileProblem::notPkcs12},
        {L"bad\\empty.p12", "test-pass", KeyFileProblem::notPkcs12},
        {L"plain\\device-profile.xml", "test-pass", KeyFileProblem::notPkcs12},
        {L"bad\\certificates-only.p12", "test-pass", missing(KeyFileProblem::noKey)},
        {L"bad\\key-only.p12", "test-pass", missing(KeyFileProblem::noCertificate)},
        {L"bad\\huge.p12", "test-pass", KeyFileProblem::notPkcs12},
    };
    const std::set<std::string> before = keyContainers();
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::toUtf8(c.file) + " / '" + c.password + "'");
        EXPECT_EQ(problemOpening(c.file, c.password), c.expected);
        EXPECT_EQ(keyContainers(), before);
    }
}

TEST(Win32Crypto, ReadsTheChainAsTheCertificatesSay) {
    const struct {
        const wchar_t* file;
        const wchar_t* subject;
        const wchar_t* issuer;
        const char* dates;
        std::vector<std::wstring> uris;
    } cases[] = {
        {L"plain\\author.p12",
         L"Quorvex Test Author",
         L"Test Samsung Author CA Class",
         "plain\\author.dates",
         {}},
        {L"plain\\distributor.p12",
         L"TizenSDK",
         L"Test VD DEVELOPER Public CA Class",
         "plain\\distributor.dates",
         {L"URN:tizen:packageid=", L"URN:tizen:deviceid=TESTDUID0001",
          L"URN:tizen:deviceid=TESTDUID0002"}},
        // The root the file also carries is left out.
        {L"bad\\with-root.p12",
         L"Quorvex Test Author",
         L"Test Samsung Author CA Class",
         "plain\\author.dates",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::toUtf8(c.file));
        platform::win32::Win32Crypto crypto;
        const auto key = open(crypto, c.file, "test-pass");
        const auto& chain = key->chain();
        ASSERT_EQ(chain.size(), 2u);
        EXPECT_EQ(chain[0].subjectCommonName, c.subject);
        EXPECT_EQ(chain[0].issuerCommonName, c.issuer);
        EXPECT_EQ(chain[1].subjectCommonName, c.issuer);
        EXPECT_NE(chain[1].issuerCommonName, chain[1].subjectCommonName);
        EXPECT_EQ(chain[0].uris, c.uris);
        EXPECT_TRUE(chain[1].uris.empty());

        std::ifstream dates(profiles() / c.dates);
        long long notBefore = 0, notAfter = 0;
        ASSERT_TRUE(dates >> notBefore >> notAfter);
        using std::chrono::seconds;
        EXPECT_EQ(chain[0].notBefore.time_since_epoch(), seconds(notBefore));
        EXPECT_EQ(chain[0].notAfter.time_since_epoch(), seconds(notAfter));
        EXPECT_FALSE(chain[0].der.empty());
        EXPECT_NE(chain[0].der, chain[1].der);
    }
}

TEST(Win32Crypto, SignsWithOneKeyAtATimeAndLeavesNoKeyBehind) {
    const auto data = readFile(profiles() / L"data-200000.bin");
    const std::set<std::string> before = keyContainers();
    const struct {
        const wchar_t* profile;
        const char* authorPassword;
        const char* distributorPassword;
        std::size_t bits;
    } cases[] = {
        {L"plain", "test-pass", "test-pass", 2048},
        {L"legacy", "legacy-pass", "other-pass", 2048},
        {L"big", "test-pass", "test-pass", 4096},
    };
    platform::win32::Win32Crypto crypto;
    for (const auto& c : cases) {
        for (const auto* role : {L"author", L"distributor"}) {
            const std::wstring name = std::wstring(c.profile) + L"-" + role;
            SCOPED_TRACE(platform::toUtf8(name));
            const std::string password =
                role == std::wstring(L"author") ? c.authorPassword : c.distributorPassword;
            {
                const auto key =
                    open(crypto, std::wstring(c.profile) + L"\\" + role + L".p12", password);
                EXPECT_THROW(open(crypto, L"plain\\author.p12", "test-pass"), platform::Error);
                // A key signs more than once, with digests made in between.
                std::vector<unsigned char> signature;
                try {
                    signature = key->signSha512(data);
                    crypto.sha512(data);
                    EXPECT_EQ(key->signSha512(data), signature);
                } catch (const platform::Error& e) {
                    ADD_FAILURE() << e.what();
                }
                // Only after signing: under Wine, listing the containers while a key was open
                // made its next signature fail the check against the certificate.
                EXPECT_NE(keyContainers(), before);
                EXPECT_EQ(signature.size() * 8, c.bits);
                std::ofstream(profiles() / (name + L".sig"), std::ios::binary)
                    .write(reinterpret_cast<const char*>(signature.data()),
                           static_cast<std::streamsize>(signature.size()));
            }
            EXPECT_EQ(keyContainers(), before);
        }
    }
}

}  // namespace
