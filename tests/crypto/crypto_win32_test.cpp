// Win32Crypto against certificate profiles that run-crypto-test.sh made with openssl just before
// (QUORVEX_PROFILES names their folder). The signatures are written beside them for the script
// to check with openssl.
#include <gtest/gtest.h>
#include <windows.h>

#include <wincrypt.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>

#include "platform/text.h"
#include "platform/win32/crypto_win32.h"

namespace {

using platform::KeyFileProblem;
using Strings = std::vector<std::wstring>;

std::filesystem::path in(const std::wstring& name) {
    const wchar_t* folder = _wgetenv(L"QUORVEX_PROFILES");
    if (folder == nullptr)
        throw std::runtime_error("QUORVEX_PROFILES is not set: run through run-crypto-test.sh");
    return std::filesystem::path(folder) / name;
}

std::vector<unsigned char> readFile(const std::wstring& name) {
    std::ifstream file(in(name), std::ios::binary);
    if (!file)
        throw std::runtime_error("missing " + platform::toUtf8(name));
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::unique_ptr<platform::SigningKey> open(platform::Crypto& crypto, const std::wstring& file,
                                           const std::string& password) {
    return crypto.openKeyFile(readFile(file), platform::Secret(platform::fromUtf8(password)));
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

TEST(Win32Crypto, Sha512MatchesOpenssl) {
    platform::win32::Win32Crypto crypto;
    for (const std::wstring data : {L"data-0", L"data-3", L"data-200000"})
        EXPECT_EQ(crypto.sha512(readFile(data + L".bin")), readFile(data + L".sha512"))
            << platform::toUtf8(data);
}

TEST(Win32Crypto, TellsWhyAKeyFileDoesNotOpen) {
    // Under Wine each UTF-16 unit of the password is cut to one byte before it reaches the
    // PKCS#12 code, so a password with Cyrillic letters never matches what openssl wrote (UTF-8
    // turned into UTF-16, as Windows itself does): the user is told the password is wrong.
    // Wine's import (GnuTLS) also fails a file without a key or without a certificate as it
    // fails a wrong password.
    const auto wine = [](std::optional<KeyFileProblem> onWindows) {
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
        // Written with no password at all (not an empty one). Wine opens it even without the
        // retry with none, so under Wine this row guards only that it opens.
        {L"absent\\author.p12", "", std::nullopt},
        {L"absent\\author.p12", "x", KeyFileProblem::wrongPassword},
        {L"plain\\author.p12", "wrong", KeyFileProblem::wrongPassword},
        {L"plain\\author.p12", "", KeyFileProblem::wrongPassword},
        {L"plain\\author.p12", "test-pass ", KeyFileProblem::wrongPassword},
        {L"legacy\\distributor.p12", "legacy-pass", KeyFileProblem::wrongPassword},
        {L"cyrillic\\author.p12", "пароль-ключа", wine(std::nullopt)},
        {L"bad\\truncated.p12", "test-pass", KeyFileProblem::notPkcs12},
        {L"bad\\garbage.p12", "test-pass", KeyFileProblem::notPkcs12},
        {L"bad\\empty.p12", "test-pass", KeyFileProblem::notPkcs12},
        {L"plain\\device-profile.xml", "test-pass", KeyFileProblem::notPkcs12},
        {L"bad\\certificates-only.p12", "test-pass", wine(KeyFileProblem::noKey)},
        {L"bad\\key-only.p12", "test-pass", wine(KeyFileProblem::noCertificate)},
        {L"bad\\huge.p12", "test-pass", KeyFileProblem::notPkcs12},
    };
    const std::set<std::string> before = keyContainers();
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::toUtf8(c.file) + " / '" + c.password + "'");
        platform::win32::Win32Crypto crypto;
        std::optional<KeyFileProblem> problem;
        try {
            open(crypto, c.file, c.password);
        } catch (const platform::KeyFileError& e) {
            problem = e.problem();
        }
        EXPECT_EQ(problem, c.expected);
        EXPECT_EQ(keyContainers(), before);
    }
}

TEST(Win32Crypto, ReadsTheChainAsTheCertificatesSay) {
    const wchar_t* authorCa = L"Test Samsung Author CA Class";
    const Strings none, duids{L"URN:tizen:packageid=", L"URN:tizen:deviceid=TESTDUID0001",
                              L"URN:tizen:deviceid=TESTDUID0002"};
    const struct {
        const wchar_t* file;
        const wchar_t* subject;
        const wchar_t* issuer;
        const wchar_t* dates;  // what openssl read: the validity in Unix seconds
        const Strings& uris;
    } cases[] = {
        {L"plain\\author.p12", L"Quorvex Test Author", authorCa, L"plain\\author.dates", none},
        {L"plain\\distributor.p12", L"TizenSDK", L"Test VD DEVELOPER Public CA Class",
         L"plain\\distributor.dates", duids},
        // The root the file also carries is left out.
        {L"bad\\with-root.p12", L"Quorvex Test Author", authorCa, L"plain\\author.dates", none},
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
        long long notBefore = 0, notAfter = 0;
        ASSERT_TRUE(std::ifstream(in(c.dates)) >> notBefore >> notAfter);
        EXPECT_EQ(chain[0].notBefore.time_since_epoch(), std::chrono::seconds(notBefore));
        EXPECT_EQ(chain[0].notAfter.time_since_epoch(), std::chrono::seconds(notAfter));
        EXPECT_FALSE(chain[0].der.empty());
        EXPECT_NE(chain[0].der, chain[1].der);
    }
}

TEST(Win32Crypto, SignsWithOneKeyAtATimeAndLeavesNoKeyBehind) {
    const auto data = readFile(L"data-200000.bin");
    const std::set<std::string> before = keyContainers();
    const struct {
        std::wstring profile;
        const char* authorPassword;
        const char* distributorPassword;
        std::size_t bits;
    } cases[] = {{L"plain", "test-pass", "test-pass", 2048},
                 {L"legacy", "legacy-pass", "other-pass", 2048},
                 {L"big", "test-pass", "test-pass", 4096}};
    platform::win32::Win32Crypto crypto;
    for (const auto& c : cases) {
        for (const std::wstring role : {L"author", L"distributor"}) {
            SCOPED_TRACE(platform::toUtf8(c.profile + L"-" + role));
            {
                const auto key = open(crypto, c.profile + L"\\" + role + L".p12",
                                      role == L"author" ? c.authorPassword : c.distributorPassword);
                EXPECT_THROW(open(crypto, L"plain\\author.p12", "test-pass"), platform::Error);
                // A key signs more than once, with digests made in between.
                const auto signature = key->signSha512(data);
                crypto.sha512(data);
                EXPECT_EQ(key->signSha512(data), signature);
                // Only after signing: under Wine, listing the containers while a key was open
                // made its next signature fail the check against the certificate.
                EXPECT_NE(keyContainers(), before);
                EXPECT_EQ(signature.size() * 8, c.bits);
                std::ofstream(in(c.profile + L"-" + role + L".sig"), std::ios::binary)
                    .write(reinterpret_cast<const char*>(signature.data()),
                           static_cast<std::streamsize>(signature.size()));
            }
            EXPECT_EQ(keyContainers(), before);
        }
    }
}

}  // namespace
