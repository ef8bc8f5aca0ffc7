// The signer against independent readers: xmlsec1 verifies the signatures against the test roots,
// unzip, Python's zipfile and libzip read the archive, and every kept member is byte-identical.
#include <gtest/gtest.h>
#include <zip.h>

#include <regex>
#include <set>

#include "platform/posix/crypto_openssl.h"
#include "signing_support.h"
#include "src/widget_package.h"
#include "src/widget_signer.h"

using namespace signing_test;

namespace {

const Bytes sample = readBytes(QUORVEX_SAMPLE_WIDGET);
const TempDir scratch;

Bytes sign(const Bytes& package, const std::string& profile = "good",
           const wchar_t* author = L"test-pass", const wchar_t* distributor = L"test-pass") {
    const fs::path folder = signingProfiles() / profile;
    platform::OpenSslCrypto crypto;
    return widget::signWidget(package, crypto, readBytes(folder / "author.p12"),
                              platform::Secret(author), readBytes(folder / "distributor.p12"),
                              platform::Secret(distributor));
}

fs::path unpack(const Bytes& package, const std::string& name) {
    writeBytes(scratch / (name + ".wgt"), package);
    EXPECT_EQ(
        failure("unzip -q -d " + quote(scratch / name) + " " + quote(scratch / (name + ".wgt"))),
        "");
    return scratch / name;
}

// xmlsec1 on a signature file in `folder`, trusting one test root only.
std::string xmlsec(const fs::path& folder, const std::string& file, const std::string& root) {
    return failure("cd " + quote(folder) +
                   " && xmlsec1 --verify --id-attr:Id Object --trusted-pem " +
                   quote(signingProfiles() / "ca" / (root + "-root.pem")) +
                   " --enabled-reference-uris empty,same-doc,local,remote " + file);
}

// Each signature verifies against its own root alone, names every file (encoded, the distributor's
// the author signature too), and has the fixed shape; a changed file fails both.
TEST(Signer, SignaturesVerifyIndependentlyAndNameEveryFile) {
    const Bytes names = zipOf(scratch / "names", {{"config.xml", "<widget/>"},
                                                  {"keep-_.!~*'() &=?#%+.txt", "a"},
                                                  {"img/фото+1.png", "b"},
                                                  {"author-signature.xml", "old"},
                                                  {"signature1.xml", "old"},
                                                  {"signature12.xml", "old"},
                                                  {"sub/signature2.xml", "kept: not at the root"}});
    // clang-format off
    const std::tuple<const char*, const wchar_t*, const wchar_t*, const Bytes&, std::set<std::string>> cases[] = {
        {"good", L"test-pass", L"test-pass", sample,
         {"config.xml", "css%2Fstyle.css", "index.html", "js%2Fmain.js", "logo_117.png", "#prop"}},
        {"профиль Ä", L"пароль Ä", L"другой", names,
         {"config.xml", "keep-_.!~*'()%20%26%3D%3F%23%25%2B.txt", "img%2F%D1%84%D0%BE%D1%82%D0%BE%2B1.png", "sub%2Fsignature2.xml", "#prop"}},
    };
    // clang-format on
    for (auto [profile, author, distributor, input, files] : cases) {
        SCOPED_TRACE(profile);
        fs::path folder = unpack(sign(input, profile, author, distributor), profile);
        EXPECT_FALSE(fs::exists(folder / "signature12.xml"));
        for (const auto& [file, id, role, other] :
             {std::tuple{"author-signature.xml", "AuthorSignature", "author", "distributor"},
              {"signature1.xml", "DistributorSignature", "distributor", "author"}}) {
            EXPECT_EQ(xmlsec(folder, file, role), "");
            EXPECT_NE(xmlsec(folder, file, other), "") << "the wrong root";
            std::string xml = readText(folder / file);
            EXPECT_TRUE(
                xml.starts_with("<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"" +
                                std::string(id) + "\">\n"));
            EXPECT_NE(xml.find("#role-" + std::string(role)), std::string::npos) << file;
            EXPECT_EQ(xml.find('\r'), std::string::npos) << file;
            std::regex reference("<Reference URI=\"([^\"]*)\">");
            EXPECT_EQ(std::set<std::string>(
                          std::sregex_token_iterator(xml.begin(), xml.end(), reference, 1), {}),
                      files);
            files.insert("author-signature.xml");
            // KeyInfo holds the end-entity certificate and its intermediate, not the root;
            // base64 runs in lines of 76.
            const auto count = [&](const char* pattern) {
                const std::regex what(pattern);
                return std::distance(std::sregex_iterator(xml.begin(), xml.end(), what), {});
            };
            EXPECT_EQ(count("<X509Certificate>"), 2) << file;
            EXPECT_GT(count("\n[^<\n]{76}\n"), 0) << file;
            EXPECT_EQ(count("\n[^<\n]{77}"), 0) << file;
        }
        std::ofstream(folder / "config.xml", std::ios::app) << "\n";
        EXPECT_NE(xmlsec(folder, "author-signature.xml", "author"), "") << "a changed file";
        EXPECT_NE(xmlsec(folder, "signature1.xml", "distributor"), "") << "a changed file";
    }
}

// The sample signed, every other member kept byte for byte, the old signatures replaced; unzip,
// Python's zipfile and libzip take the archive. (How long signing takes is measured by
// bench/signing.sh.)
TEST(Signer, TheSignedSampleKeepsEveryOtherMemberAndEveryReaderTakesIt) {
    Bytes output = sign(sample);
    widget::WidgetPackage before(sample), after(output);
    std::set<std::string> expected = {"author-signature.xml", "signature1.xml"}, names;
    for (const auto& m : before.members()) {
        if (const widget::ZipMember* n = after.find(m.name); !widget::isSignatureFile(m.name)) {
            expected.insert(m.name);
            ASSERT_TRUE(n && n->recordSize == m.recordSize) << m.name;
            EXPECT_TRUE(std::equal(sample.begin() + m.recordOffset,
                                   sample.begin() + m.recordOffset + m.recordSize,
                                   output.begin() + n->recordOffset))
                << m.name;
        }
    }
    for (const auto& m : after.members()) {
        names.insert(m.name);
    }
    EXPECT_EQ(names, expected);

    fs::path wgt = scratch / "signed.wgt";
    writeBytes(wgt, output);
    for (const char* reader : {"unzip -tq ",
                               "python3 -c 'import sys, zipfile; sys.exit(1 if "
                               "zipfile.ZipFile(sys.argv[1]).testzip() else 0)' "}) {
        EXPECT_EQ(failure(reader + quote(wgt)), "");
    }
    int error = 0;
    zip_t* archive = zip_open(wgt.c_str(), ZIP_CHECKCONS | ZIP_RDONLY, &error);
    ASSERT_NE(archive, nullptr) << "libzip error " << error;
    EXPECT_EQ(zip_get_num_entries(archive, 0), 9);
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_file_t* file =
            zip_stat_index(archive, i, 0, &stat) ? nullptr : zip_fopen_index(archive, i, 0);
        ASSERT_NE(file, nullptr) << i;
        std::vector<char> data(stat.size + 1);  // libzip checks the CRC at the end of the read
        EXPECT_EQ(zip_fread(file, data.data(), data.size()), static_cast<zip_int64_t>(stat.size))
            << stat.name;
        zip_fclose(file);
    }
    zip_close(archive);
}

}  // namespace
