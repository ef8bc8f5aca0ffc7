// The signer against independent readers: xmlsec1 verifies the signatures against the test roots,
// unzip, Python's zipfile and libzip read the archive, and every kept member is byte-identical.
#include <gtest/gtest.h>
#include <zip.h>

#include <chrono>
#include <regex>
#include <set>
#include <sstream>

#include "platform/posix/crypto_openssl.h"
#include "signing_support.h"
#include "src/widget_package.h"
#include "src/widget_signer.h"

using namespace signing_test;

namespace {

class Signer : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        for (const auto& [name, options] :
             {std::pair{"good", ""}, {"legacy", "--legacy --bits 4096 --password 'пароль Ä'"}}) {
            RunResult made = makeProfile(dir_->path() / name, options);
            ASSERT_EQ(made.status, 0) << made.output;
        }
    }
    static void TearDownTestSuite() { delete dir_; }

    static fs::path profile(const char* name) { return dir_->path() / name; }
    static fs::path ca() { return dir_->path() / "ca"; }

    std::vector<unsigned char> sign(const std::vector<unsigned char>& package,
                                    const char* name = "good",
                                    const wchar_t* password = L"test-pass") {
        platform::Secret author(password), distributor(password);
        return widget::signWidget(package, crypto_, readBytes(profile(name) / "author.p12"), author,
                                  readBytes(profile(name) / "distributor.p12"), distributor);
    }

    // Unzips the package into a fresh folder; xmlsec1 then checks both signature files there.
    fs::path unpack(const std::vector<unsigned char>& package, const std::string& name) {
        fs::path wgt = dir_->path() / ("out-" + name + ".wgt"),
                 out = dir_->path() / ("out-" + name);
        writeBytes(wgt, package);
        fs::remove_all(out);
        RunResult r = run("unzip -q -d " + quote(out.string()) + " " + quote(wgt.string()));
        EXPECT_EQ(r.status, 0) << r.output;
        return out;
    }
    static RunResult xmlsec(const fs::path& folder, const char* file, const char* root) {
        return run("cd " + quote(folder.string()) +
                   " && xmlsec1 --verify --id-attr:Id Object --trusted-pem " +
                   quote((ca() / root).string()) +
                   " --enabled-reference-uris empty,same-doc,local,remote " + file);
    }

    platform::OpenSslCrypto crypto_;
    static inline TempDir* dir_ = nullptr;
};

std::vector<unsigned char> sampleWidget() {
    return readBytes(QUORVEX_SAMPLE_WIDGET);
}

std::string text(const fs::path& file) {
    auto bytes = readBytes(file);
    return {bytes.begin(), bytes.end()};
}

// The Reference URIs of a signature file, as written.
std::set<std::string> references(const std::string& xml) {
    std::set<std::string> uris;
    std::regex reference("<Reference URI=\"([^\"]*)\">");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), reference);
         it != std::sregex_iterator(); ++it) {
        uris.insert((*it)[1]);
    }
    return uris;
}

TEST_F(Signer, BothSignaturesVerifyIndependentlyAndAWrongRootOrChangedFileFails) {
    for (const char* name : {"good", "legacy"}) {
        SCOPED_TRACE(name);
        auto signedPackage =
            sign(sampleWidget(), name, std::string(name) == "good" ? L"test-pass" : L"пароль Ä");
        fs::path folder = unpack(signedPackage, name);
        RunResult author = xmlsec(folder, "author-signature.xml", "author-root.pem");
        EXPECT_EQ(author.status, 0) << author.output;
        RunResult distributor = xmlsec(folder, "signature1.xml", "distributor-root.pem");
        EXPECT_EQ(distributor.status, 0) << distributor.output;
        // Controls: the verifier does fail on a wrong root and on a changed file.
        EXPECT_NE(xmlsec(folder, "signature1.xml", "author-root.pem").status, 0);
        std::ofstream(folder / "js/main.js", std::ios::app) << "\n";
        EXPECT_NE(xmlsec(folder, "author-signature.xml", "author-root.pem").status, 0);
        EXPECT_NE(xmlsec(folder, "signature1.xml", "distributor-root.pem").status, 0);
    }
}

TEST_F(Signer, KeepsEveryOtherMemberByteForByteAndReplacesOldSignatures) {
    auto input = sampleWidget();
    auto output = sign(input);
    widget::WidgetPackage before(input), after(output);
    std::set<std::string> kept;
    for (const auto& m : before.members()) {
        if (widget::isSignatureFile(m.name)) {
            continue;
        }
        kept.insert(m.name);
        const widget::ZipMember* n = after.find(m.name);
        ASSERT_NE(n, nullptr) << m.name;
        EXPECT_TRUE(std::equal(
            input.begin() + m.recordOffset, input.begin() + m.recordOffset + m.recordSize,
            output.begin() + n->recordOffset, output.begin() + n->recordOffset + n->recordSize))
            << m.name;
        EXPECT_EQ(n->recordSize, m.recordSize) << m.name;
    }
    std::set<std::string> names;
    for (const auto& m : after.members()) {
        names.insert(m.name);
    }
    kept.insert({"author-signature.xml", "signature1.xml"});
    EXPECT_EQ(names, kept);
    EXPECT_EQ(after.members().size(), names.size());
}

TEST_F(Signer, IndependentZipReadersTakeTheSignedPackage) {
    fs::path wgt = dir_->path() / "readers.wgt";
    writeBytes(wgt, sign(sampleWidget()));
    RunResult unzipTest = run("unzip -tq " + quote(wgt.string()));
    EXPECT_EQ(unzipTest.status, 0) << unzipTest.output;
    RunResult python =
        run("python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
            "sys.exit(1 if z.testzip() else 0)' " +
            quote(wgt.string()));
    EXPECT_EQ(python.status, 0) << python.output;

    int error = 0;
    zip_t* archive = zip_open(wgt.c_str(), ZIP_CHECKCONS | ZIP_RDONLY, &error);
    ASSERT_NE(archive, nullptr) << "libzip error " << error;
    zip_int64_t count = zip_get_num_entries(archive, 0);
    EXPECT_EQ(count, 9);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        ASSERT_EQ(zip_stat_index(archive, i, 0, &stat), 0);
        zip_file_t* file = zip_fopen_index(archive, i, 0);
        ASSERT_NE(file, nullptr) << stat.name;
        std::vector<char> data(stat.size + 1);
        EXPECT_EQ(zip_fread(file, data.data(), data.size()), static_cast<zip_int64_t>(stat.size))
            << stat.name;  // libzip checks the CRC at the end of the read
        zip_fclose(file);
    }
    zip_close(archive);
}

TEST_F(Signer, ReferencesNameEveryFileEncodedAndTheDistributorCoversTheAuthor) {
    // Names that need encoding, a folder entry, and old signatures of every kind.
    auto input =
        zipOf(dir_->path() / "names", {{"config.xml", "<widget/>"},
                                       {"my file (1).txt", "a"},
                                       {"img/фото+1.png", "b"},
                                       {"author-signature.xml", "old"},
                                       {"signature1.xml", "old"},
                                       {"signature12.xml", "old"},
                                       {"sub/signature2.xml", "not a signature: below the root"}});
    fs::path folder = unpack(sign(input), "names");
    std::set<std::string> files = {"config.xml", "my%20file%20(1).txt",
                                   "img%2F%D1%84%D0%BE%D1%82%D0%BE%2B1.png", "sub%2Fsignature2.xml",
                                   "#prop"};
    EXPECT_EQ(references(text(folder / "author-signature.xml")), files);
    files.insert("author-signature.xml");
    EXPECT_EQ(references(text(folder / "signature1.xml")), files);
    EXPECT_FALSE(fs::exists(folder / "signature12.xml"));
    EXPECT_EQ(xmlsec(folder, "signature1.xml", "distributor-root.pem").status, 0);
    RunResult author = xmlsec(folder, "author-signature.xml", "author-root.pem");
    EXPECT_EQ(author.status, 0) << author.output;
}

TEST_F(Signer, DocumentHasTheFixedShape) {
    fs::path folder = unpack(sign(sampleWidget()), "shape");
    for (const auto& [file, id, role] :
         {std::tuple{"author-signature.xml", "AuthorSignature", "#role-author"},
          {"signature1.xml", "DistributorSignature", "#role-distributor"}}) {
        std::string xml = text(folder / file);
        EXPECT_TRUE(
            xml.starts_with("<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"" +
                            std::string(id) + "\">\n"))
            << file;
        EXPECT_NE(xml.find(role), std::string::npos) << file;
        EXPECT_EQ(xml.find('\r'), std::string::npos) << file;
        // KeyInfo holds the end-entity certificate and its intermediate, not the root.
        std::regex certificate("<X509Certificate>");
        EXPECT_EQ(std::distance(std::sregex_iterator(xml.begin(), xml.end(), certificate),
                                std::sregex_iterator()),
                  2)
            << file;
        std::size_t longest = 0;  // of the base64 lines
        std::istringstream lines(xml);
        for (std::string line; std::getline(lines, line);) {
            longest =
                line.find('<') == std::string::npos ? std::max(longest, line.size()) : longest;
        }
        EXPECT_EQ(longest, 76u) << file;
    }
}

TEST(SignerPieces, EncodeUriComponentLikeJavaScript) {
    const std::pair<const char*, const char*> cases[] = {
        {"js/main.js", "js%2Fmain.js"},
        {"a b+c&d=e?f#g", "a%20b%2Bc%26d%3De%3Ff%23g"},
        {"keep-_.!~*'()AZaz09", "keep-_.!~*'()AZaz09"},
        {"\xD1\x84%", "%D1%84%25"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(widget::encodeUriComponent(in), out) << in;
    }
}

TEST_F(Signer, SigningTheSampleTakesLittleTime) {
    auto input = sampleWidget();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        sign(input);
    }
    std::chrono::duration<double, std::milli> each = (std::chrono::steady_clock::now() - start) / 5;
    std::printf("signing the sample widget natively: %.1f ms\n", each.count());
    EXPECT_LT(each.count(), 500.0);  // the bound the program must keep under Wine
}

}  // namespace
