// The signer against independent readers: xmlsec1 verifies the signatures against the test roots,
// unzip, Python's zipfile and libzip read the archive, and every kept member is byte-identical.
#include <gtest/gtest.h>
#include <zip.h>

#include <regex>
#include <set>

#include "platform/posix/crypto_openssl.h"
#include "signing_support.h"
#include "src/signing/widget_package.h"
#include "src/signing/widget_signer.h"

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

// Every member of `input` but the old signatures is in `output` byte for byte, as is what Python's
// zipfile reads of it, and the new signatures beside them; unzip, zipfile and libzip take `output`.
void expectKeptAndReadable(const Bytes& input, const Bytes& output, const std::string& name) {
    widget::WidgetPackage before(input), after(output);
    std::set<std::string> expected = {"author-signature.xml", "signature1.xml"}, names;
    for (const auto& m : before.members()) {
        if (const widget::ZipMember* n = after.find(m.name); !widget::isSignatureFile(m.name)) {
            expected.insert(m.name);
            ASSERT_TRUE(n && n->recordSize == m.recordSize) << m.name;
            EXPECT_TRUE(std::equal(input.begin() + m.recordOffset,
                                   input.begin() + m.recordOffset + m.recordSize,
                                   output.begin() + n->recordOffset))
                << m.name;
        }
    }
    for (const auto& m : after.members()) {
        names.insert(m.name);
    }
    EXPECT_EQ(names, expected);

    const fs::path in = scratch / (name + "-in.wgt"), wgt = scratch / (name + "-out.wgt");
    writeBytes(in, input);
    writeBytes(wgt, output);
    EXPECT_EQ(failure("unzip -tq " + quote(wgt)), "");
    EXPECT_EQ(failure("python3 -c 'import sys, zipfile; a, b = (zipfile.ZipFile(f) for f in "
                      "sys.argv[1:]); new = {\"author-signature.xml\", \"signature1.xml\"}; "
                      "sys.exit(b.testzip() or any(a.read(n) != b.read(n) for n in a.namelist() "
                      "if n in b.namelist() and n not in new))' " +
                      quote(in) + " " + quote(wgt)),
              "");
    int error = 0;
    zip_t* archive = zip_open(wgt.c_str(), ZIP_CHECKCONS | ZIP_RDONLY, &error);
    ASSERT_NE(archive, nullptr) << "libzip error " << error;
    EXPECT_EQ(zip_get_num_entries(archive, 0), std::ssize(expected));
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

// Each signature verifies against its own root alone, names every file (encoded, the distributor's
// the author signature too), and has the fixed shape; a changed file fails both. The package is
// kept otherwise, whether its members carry their sizes before their data or after it (a
// streaming writer's data descriptors, with their signature or without), and with extra fields
// that differ between a member's two headers and a comment after the archive, as Info-ZIP writes.
TEST(Signer, SignaturesVerifyIndependentlyAndNameEveryFile) {
    const Bytes names = zipOf(scratch / "names", {{"config.xml", "<widget/>"},
                                                  {"keep-_.!~*'() &=?#%+.txt", "a"},
                                                  {"img/фото+1.png", "b"},
                                                  {"author-signature.xml", "old"},
                                                  {"signature1.xml", "old"},
                                                  {"signature12.xml", "old"},
                                                  {"signature01.xml", "kept: not a signature"},
                                                  {"sub/signature2.xml", "kept: not at the root"}});
    const Files widget = {{"config.xml", "<widget/>\n"},
                          {"index.html", std::string(3000, 'h')},
                          {"js/main.js", "console.log('streamed');\n"},
                          {"images/icon.png", std::string("\x89PNG\r\n\x1a\n", 8)},
                          {"author-signature.xml", "old"},
                          {"signature1.xml", "old"}};
    const Bytes streamed = streamedZipOf(scratch / "streamed", widget, true),
                bare = streamedZipOf(scratch / "bare", widget, false),
                commented = commentedZipOf(scratch / "commented", widget);
    const std::set<std::string> widgetFiles = {"config.xml", "images%2Ficon.png", "index.html",
                                               "js%2Fmain.js", "#prop"};
    // clang-format off
    // The package, the profile and its passwords, what is signed, the references.
    const std::tuple<const char*, const char*, const wchar_t*, const wchar_t*, const Bytes&, std::set<std::string>> cases[] = {
        {"sample", "good", L"test-pass", L"test-pass", sample,
         {"config.xml", "css%2Fstyle.css", "index.html", "js%2Fmain.js", "logo_117.png", "#prop"}},
        {"names", "профиль Ä", L"пароль Ä", L"другой", names,
         {"config.xml", "keep-_.!~*'()%20%26%3D%3F%23%25%2B.txt", "img%2F%D1%84%D0%BE%D1%82%D0%BE%2B1.png", "signature01.xml", "sub%2Fsignature2.xml", "#prop"}},
        {"descriptors with their signature", "good", L"test-pass", L"test-pass", streamed, widgetFiles},
        {"bare descriptors", "good", L"test-pass", L"test-pass", bare, widgetFiles},
        {"Info-ZIP's own extras and a comment", "good", L"test-pass", L"test-pass", commented, widgetFiles},
    };
    // clang-format on
    int row = 0;
    for (auto [package, profile, author, distributor, input, files] : cases) {
        SCOPED_TRACE(package);
        const std::string name = "row" + std::to_string(++row);
        Bytes output;
        EXPECT_NO_THROW(output = sign(input, profile, author, distributor));
        if (output.empty()) {
            continue;
        }
        expectKeptAndReadable(input, output, name);
        fs::path folder = unpack(output, name);
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
    expectKeptAndReadable(sample, output, "sample");
}

}  // namespace
