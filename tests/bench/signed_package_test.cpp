// A Tizen 7+ simulated TV installing packages signed here, at test time, with profiles from
// tests/signing/make-profile.sh: what it accepts, each refusal's code, and the installed author.
// The packages are signed by this file's own small signer (OpenSSL), and xmlsec1 confirms that
// what it signs is a valid XML signature, so the TV is not judged against its own mistakes.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/tvsim/options.h"
#include "tools/tvsim/tv.h"

namespace {

namespace fs = std::filesystem;

const std::string kDsig = "http://www.w3.org/2000/09/xmldsig#";
const std::string kStaging = "/home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt";
const std::string kApp = "R4vT7mWq2Z.Quorvex";

std::string base64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    out.resize(static_cast<std::size_t>(EVP_EncodeBlock(
        reinterpret_cast<unsigned char*>(out.data()),
        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()))));
    return out;
}

std::string digest(const EVP_MD* md, const std::string& bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), out, &length, md, nullptr);
    return base64(std::string(reinterpret_cast<char*>(out), length));
}

std::string encodeUri(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || std::string_view("-_.!~*'()").find(c) != std::string_view::npos) {
            out += static_cast<char>(c);
        } else {
            char three[4];
            std::snprintf(three, sizeof three, "%%%02X", c);
            out += three;
        }
    }
    return out;
}

// One signer from a profile's .p12: key, certificate, intermediate.
struct Signer {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    STACK_OF(X509) * chain = nullptr;
};

Signer loadSigner(const fs::path& p12) {
    Signer signer;
    FILE* file = std::fopen(p12.c_str(), "rb");
    PKCS12* bundle = file ? d2i_PKCS12_fp(file, nullptr) : nullptr;
    if (file) {
        std::fclose(file);
    }
    if (!bundle || !PKCS12_parse(bundle, "test-pass", &signer.key, &signer.cert, &signer.chain)) {
        ADD_FAILURE() << "cannot open " << p12;
    }
    PKCS12_free(bundle);
    return signer;
}

std::string der(X509* cert) {
    unsigned char* bytes = nullptr;
    const int length = i2d_X509(cert, &bytes);
    std::string out(reinterpret_cast<char*>(bytes), static_cast<std::size_t>(length));
    OPENSSL_free(bytes);
    return out;
}

// A signature file as Tizen's tools write it, over `members` (sha512, or sha256 when asked).
std::string signatureFile(const std::string& role,
                          const std::map<std::string, std::string>& members, const Signer& signer,
                          bool sha256) {
    const std::string id = role == "author" ? "AuthorSignature" : "DistributorSignature";
    const EVP_MD* md = sha256 ? EVP_sha256() : EVP_sha512();
    const std::string digestMethod = std::string("<DigestMethod Algorithm=\"") +
                                     (sha256 ? "http://www.w3.org/2001/04/xmlenc#sha256"
                                             : "http://www.w3.org/2001/04/xmlenc#sha512") +
                                     "\"></DigestMethod>\n";
    std::string object =
        "<Object Id=\"prop\"><SignatureProperties "
        "xmlns:dsp=\"http://www.w3.org/2009/xmldsig-properties\">";
    const char* properties[][2] = {
        {"profile",
         "<dsp:Profile URI=\"http://www.w3.org/ns/widgets-digsig#profile\"></dsp:Profile>"},
        {"role", ""},
        {"identifier", "<dsp:Identifier></dsp:Identifier>"}};
    for (const auto& [name, body] : properties) {
        object += "<SignatureProperty Id=\"" + std::string(name) + "\" Target=\"#" + id + "\">" +
                  (std::string(name) == "role"
                       ? "<dsp:Role URI=\"http://www.w3.org/ns/widgets-digsig#role-" + role +
                             "\"></dsp:Role>"
                       : std::string(body)) +
                  "</SignatureProperty>";
    }
    object += "</SignatureProperties></Object>";
    std::string canonicalObject = object;
    canonicalObject.insert(8, "xmlns=\"" + kDsig + "\" ");

    std::string signedInfo =
        "<SignedInfo>\n<CanonicalizationMethod "
        "Algorithm=\"http://www.w3.org/2001/10/xml-exc-c14n#\"></CanonicalizationMethod>\n"
        "<SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-" +
        std::string(sha256 ? "sha256" : "sha512") + "\"></SignatureMethod>\n";
    for (const auto& [name, bytes] : members) {
        signedInfo += "<Reference URI=\"" + encodeUri(name) + "\">\n" + digestMethod +
                      "<DigestValue>" + digest(md, bytes) + "</DigestValue>\n</Reference>\n";
    }
    signedInfo +=
        "<Reference URI=\"#prop\">\n<Transforms>\n<Transform "
        "Algorithm=\"http://www.w3.org/2006/12/xml-c14n11\"></Transform>\n</Transforms>\n" +
        digestMethod + "<DigestValue>" + digest(md, canonicalObject) +
        "</DigestValue>\n</Reference>\n</SignedInfo>";
    std::string canonicalInfo = signedInfo;
    canonicalInfo.insert(11, " xmlns=\"" + kDsig + "\"");

    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    std::size_t length = 0;
    EVP_DigestSignInit(ctx, nullptr, md, nullptr, signer.key);
    EVP_DigestSign(ctx, nullptr, &length,
                   reinterpret_cast<const unsigned char*>(canonicalInfo.data()),
                   canonicalInfo.size());
    std::string value(length, '\0');
    EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(value.data()), &length,
                   reinterpret_cast<const unsigned char*>(canonicalInfo.data()),
                   canonicalInfo.size());
    EVP_MD_CTX_free(ctx);

    std::string keyInfo = "<KeyInfo>\n<X509Data>\n<X509Certificate>" + base64(der(signer.cert)) +
                          "</X509Certificate>\n";
    for (int i = 0; i < sk_X509_num(signer.chain); ++i) {
        keyInfo += "<X509Certificate>" + base64(der(sk_X509_value(signer.chain, i))) +
                   "</X509Certificate>\n";
    }
    keyInfo += "</X509Data>\n</KeyInfo>\n";
    return "<Signature xmlns=\"" + kDsig + "\" Id=\"" + id + "\">\n" + signedInfo +
           "\n<SignatureValue>" + base64(value) + "</SignatureValue>\n" + keyInfo + object +
           "\n</Signature>\n";
}

void writeZip(const fs::path& file, const std::map<std::string, std::string>& members) {
    fs::create_directories(file.parent_path());
    fs::remove(file);
    int error = 0;
    zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, bytes] : members) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

int run(const std::string& command) {
    return std::system((command + " >>'" +
                        (fs::temp_directory_path() / "quorvex-bench-signed.log").string() +
                        "' 2>&1")
                           .c_str());
}

class SignedInstall : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("quorvex-bench-signed-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        const std::string script =
            std::string(QUORVEX_SOURCE_DIR) + "/tests/signing/make-profile.sh";
        for (const auto& [profile, args] : std::map<std::string, std::string>{
                 {"san", "--duid-in san"}, {"listed", "--duid-in profile"}}) {
            ASSERT_EQ(run("bash '" + script + "' '" + (root_ / profile).string() + "' " + args), 0)
                << "make-profile.sh " << args;
        }
    }
    static void TearDownTestSuite() { fs::remove_all(root_); }

    void SetUp() override {
        members_ = {{"config.xml",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<widget "
                     "xmlns=\"http://www.w3.org/ns/widgets\" "
                     "xmlns:tizen=\"http://tizen.org/ns/widgets\">\n<tizen:application id=\"" +
                         kApp +
                         "\" package=\"R4vT7mWq2Z\" required_version=\"2.3\"/>\n"
                         "<name>Quorvex</name>\n</widget>\n"},
                    {"index.html", "<html>signed</html>\n"},
                    {"js/main.js", "console.log('signed');\n"},
                    {"images/my icon.png", std::string("\x89PNG\r\n\x1a\n", 8)}};
    }

    // Both signatures over the members as they are now, with `profile`'s certificates.
    // One signer may leave a file out: `leftOut` is "author:FILE" or "distributor:FILE".
    void sign(const std::string& profile, bool sha256 = false,
              const std::string& leftOut = "") {
        members_.erase("author-signature.xml");
        members_.erase("signature1.xml");
        const Signer author = loadSigner(root_ / profile / "author.p12");
        const Signer distributor = loadSigner(root_ / profile / "distributor.p12");
        auto without = [&](std::map<std::string, std::string> members, const std::string& role) {
            if (leftOut.starts_with(role + ":")) {
                members.erase(leftOut.substr(role.size() + 1));
            }
            return members;
        };
        members_["author-signature.xml"] =
            signatureFile("author", without(members_, "author"), author, sha256);
        members_["signature1.xml"] =
            signatureFile("distributor", without(members_, "distributor"), distributor, sha256);
        for (const Signer& s : {author, distributor}) {
            EVP_PKEY_free(s.key);
            X509_free(s.cert);
            sk_X509_pop_free(s.chain, X509_free);
        }
    }

    // Starts a TV with `args` (a fresh state), pushes the package (and the profile's device list
    // when asked), installs; the answer's failure or completion line and the TV's log.
    std::string install(std::vector<std::string> args, const std::string& pushProfileFrom = "") {
        const fs::path state = root_ / "tv";
        if (fresh_) {
            fs::remove_all(state);
        }
        args.insert(args.end(), {"--address", "127.0.0.5", "--state", state.string()});
        auto parsed = tvsim::parseOptions(args);
        if (auto* problem = std::get_if<std::string>(&parsed)) {
            return "options refused: " + *problem;
        }
        tvsim::Tv tv(std::get<tvsim::TvOptions>(parsed));
        writeZip(tv.hostPath(kStaging), members_);
        if (!pushProfileFrom.empty()) {
            fs::create_directories(tv.hostPath("/home/developer"));
            fs::copy_file(root_ / pushProfileFrom / "device-profile.xml",
                          tv.hostPath("/home/developer/device-profile.xml"),
                          fs::copy_options::overwrite_existing);
        }
        std::string answer;
        tv.runShell(kAppInstall, [&](const std::string& line) {
            if (line.find("install failed") != std::string::npos ||
                line.find("install completed") != std::string::npos) {
                answer = line.substr(line.find(']') + 2);
                answer.pop_back();
            }
        });
        std::ifstream log(state / "commands.log");
        log_.assign(std::istreambuf_iterator<char>(log), {});
        return answer;
    }

    static std::string trust(const std::string& which) {
        return (root_ / "ca" / (which + "-root.pem")).string();
    }
    // A 2023 set that trusts both test roots, with the profiles' DUID.
    static std::vector<std::string> tv2023Args(std::vector<std::string> more) {
        std::vector<std::string> args = {"--year",        "2023",           "--trusted-root",
                                         trust("author"), "--trusted-root", trust("distributor"),
                                         "--duid",        "TESTDUID0001"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    static std::vector<std::string> tv2023() { return tv2023Args({}); }

    static inline fs::path root_;
    static inline const std::string kAppInstall = "vd_appinstall " + kApp + " " + kStaging;
    std::map<std::string, std::string> members_;
    std::string log_;
    bool fresh_ = true;
};

std::string refusal(const std::string& text, int code) {
    return "install failed[118, -12], reason: Check certificate error : :" + text + ":<" +
           std::to_string(code) + ">";
}

TEST_F(SignedInstall, EachFaultGetsTheTvsCodeAndTheLogSaysWhy) {
    const std::string completed = "install completed";
    const std::string mismatch =
        refusal("Invalid signature. The signature does not match the package.", -4);
    const std::string chain =
        refusal("Invalid certificate chain with certificate in signature.", -3);
    struct Case {
        const char* what;
        std::string profile;
        std::function<void(std::map<std::string, std::string>&)> afterSigning;
        std::string leftOut;
        std::vector<std::string> args;
        std::string pushProfileFrom;
        std::string answer;
        std::string logged;
    };
    const auto clock = [](int years, const char* date) {
        return tv2023Args(
            {"--clock", std::to_string(1970 + std::time(nullptr) / 31556952 + years) + date});
    };
    const auto change = [](const char* file, const char* more) {
        return [=](std::map<std::string, std::string>& m) { m[file] += more; };
    };
    // One letter of the distributor's SignatureValue changed: digests right, signature wrong.
    const auto forge = [](std::map<std::string, std::string>& m) {
        std::string& xml = m["signature1.xml"];
        char& letter = xml[xml.find("<SignatureValue>") + 20];
        letter = letter == 'A' ? 'B' : 'A';
    };
    const auto swapFiles = [](std::map<std::string, std::string>& m) {
        std::swap(m["signature1.xml"], m["author-signature.xml"]);
    };
    const std::string unsigned_ = refusal("Invalid file reference. An unsinged file is found.", -5);
    const std::string onlyAuthorRoot[] = {"--year",        "2023",   "--trusted-root",
                                          trust("author"), "--duid", "TESTDUID0001"};
    // clang-format off
    const std::vector<Case> cases = {
        {"DUID in the distributor certificate", "san", {}, "", tv2023(), "", completed, "installed: "},
        {"DUID only in the pushed device profile", "listed", {}, "", tv2023(), "listed", completed, "installed: "},
        {"a Tizen 8 set", "san", {}, "", tv2023Args({"--tizen", "8.0"}), "", completed, "installed: "},
        {"DUID nowhere: no device profile pushed", "listed", {}, "", tv2023(), "", chain, "DUID"},
        {"another TV's DUID", "san", {}, "", tv2023Args({"--duid", "OTHERDUID99"}), "", chain, "OTHERDUID99"},
        {"a file added after signing", "san", change("extra.txt", "x"), "", tv2023(), "", unsigned_, "extra.txt"},
        {"a file only the distributor signed", "san", {}, "author:index.html", tv2023(), "", unsigned_,
         "author-signature.xml does not reference index.html"},
        {"the author signature left out by the distributor", "san", {}, "distributor:author-signature.xml",
         tv2023(), "", unsigned_, "signature1.xml does not reference author-signature.xml"},
        {"a file changed after signing", "san", change("js/main.js", "//"), "", tv2023(), "", mismatch, "js/main.js"},
        {"the author signature changed after the distributor signed it", "san",
         change("author-signature.xml", " "), "", tv2023(), "", mismatch, "digest mismatch for author-signature.xml"},
        {"a forged SignatureValue", "san", forge, "", tv2023(), "", mismatch, "SignatureValue"},
        {"the signature files swapped", "san", swapFiles, "", tv2023(), "", mismatch, "role-author"},
        {"only the author's root trusted", "san", {}, "", {std::begin(onlyAuthorRoot), std::end(onlyAuthorRoot)},
         "", chain, "signature1.xml: certificate chain not trusted"},
        {"no root trusted", "san", {}, "", {"--year", "2023"}, "", chain, "no root trusted"},
        {"the TV's clock two years on", "san", {}, "", clock(2, "-06-01T00:00:00Z"), "",
         refusal("Certificate in signature is expired.", -6), "expired"},
        {"the TV's clock a year back", "san", {}, "", clock(-1, "-01-01T00:00:00Z"), "",
         refusal("Certificate in signature is not valid yet.", -7), "not valid yet"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SetUp();
        sign(c.profile, false, c.leftOut);
        if (c.afterSigning) {
            c.afterSigning(members_);
        }
        EXPECT_EQ(install(c.args, c.pushProfileFrom), c.answer) << c.what;
        EXPECT_NE(log_.find(c.logged), std::string::npos) << c.what << ": " << log_;
    }
}

TEST_F(SignedInstall, Sha256SignaturesAndXmlsec1AgreesWithTheTestSigner) {
    sign("san", true);
    EXPECT_EQ(install(tv2023()), "install completed") << log_;
    // The packages these tests sign verify with an independent verifier, and fail it when changed.
    sign("san");
    const fs::path dir = root_ / "unzipped";
    for (bool changed : {false, true}) {
        fs::remove_all(dir);
        for (const auto& [name, bytes] : members_) {
            fs::create_directories((dir / name).parent_path());
            std::ofstream(dir / name, std::ios::binary)
                << bytes + (changed && name == "index.html" ? "x" : "");
        }
        for (const char* file : {"author-signature.xml", "signature1.xml"}) {
            const int status =
                run("cd '" + dir.string() +
                    "' && xmlsec1 --verify --id-attr:Id Object "
                    "--trusted-pem '" +
                    trust("author") + "' --trusted-pem '" + trust("distributor") +
                    "' --enabled-reference-uris empty,same-doc,local,remote " + file);
            EXPECT_EQ(status == 0, !changed) << file << (changed ? " (changed)" : "");
        }
    }
}

TEST_F(SignedInstall, AnotherAuthorsCopyStaysUntilUninstalledByItsOwnId) {
    sign("san");
    const auto args = tv2023Args({"--installed-by-other-author"});
    EXPECT_EQ(install(args), "install failed[118, -11], reason: Author certificate not match :");
    EXPECT_NE(log_.find("another-author"), std::string::npos) << log_;
    fresh_ = false;
    auto parsed = tvsim::parseOptions(
        {"--year", "2023", "--address", "127.0.0.5", "--state", (root_ / "tv").string()});
    tvsim::Tv tv(std::get<tvsim::TvOptions>(parsed));
    std::string said;
    tv.runShell("vd_appuninstall " + kApp, [&](const std::string& line) { said += line; });
    EXPECT_NE(said.find("uninstall completed"), std::string::npos) << said;
    EXPECT_EQ(install(tv2023()), "install completed") << log_;
    // Now the user is the author: signing again with the same profile installs over it.
    EXPECT_EQ(install(tv2023()), "install completed") << log_;
    // A profile with another author certificate (a second CA folder) is refused in turn.
    ASSERT_EQ(run("bash '" + std::string(QUORVEX_SOURCE_DIR) + "/tests/signing/make-profile.sh' '" +
                  (root_ / "second").string() + "' --ca '" + (root_ / "ca2").string() +
                  "' --duid-in san"),
              0);
    SetUp();
    sign("second");
    EXPECT_EQ(
        install({"--year", "2023", "--trusted-root", (root_ / "ca2" / "author-root.pem").string(),
                 "--trusted-root", (root_ / "ca2" / "distributor-root.pem").string(), "--duid",
                 "TESTDUID0001"}),
        "install failed[118, -11], reason: Author certificate not match :")
        << log_;
}

}  // namespace
