// The simulated TV's package check: which packages it accepts and which it turns away. The
// end-to-end scripts cover the install answers; these cover the edge cases of the check itself.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/tvsim/package.h"

namespace {

namespace fs = std::filesystem;
using tvsim::inspectPackage;
using tvsim::PackageInfo;
using Verdict = tvsim::PackageInfo::Verdict;

const char* const kConfig =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<widget xmlns=\"http://www.w3.org/ns/widgets\" xmlns:tizen=\"http://tizen.org/ns/widgets\">\n"
    "  <tizen:application id=\"Ab12Cd34Ef.Bench\" package=\"Ab12Cd34Ef\" "
    "required_version=\"2.3\"/>\n"
    "  <name>Bench App</name>\n"
    "</widget>\n";

std::string reference(const std::string& uri, const std::string& digest) {
    return "<Reference URI=\"" + uri +
           "\"><DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><DigestValue>" +
           digest + "</DigestValue></Reference>\n";
}

class PackageCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quorvex-bench-pkg-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        members_ = {{"config.xml", kConfig},
                    {"index.html", "<html>bench</html>\n"},
                    {"js/main.js", "console.log('bench');\n"}};
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Both signature files, each referencing `signed` members with their true digests.
    void sign(const std::vector<std::string>& signedMembers) {
        std::string refs;
        for (const auto& name : signedMembers) {
            refs += reference(name, tvsim::base64Sha256(members_.at(name)));
        }
        refs += reference("#prop", "bm90IGEgZGlnZXN0");  // names no member: not checked
        for (const char* file : {"author-signature.xml", "signature1.xml"}) {
            members_[file] =
                "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><SignedInfo>\n" + refs +
                "</SignedInfo></Signature>\n";
        }
    }

    fs::path write() {
        const fs::path file = dir_ / "test.wgt";
        fs::remove(file);
        int error = 0;
        zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        EXPECT_NE(archive, nullptr);
        for (const auto& [name, bytes] : members_) {
            zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
            EXPECT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
        }
        EXPECT_EQ(zip_close(archive), 0);  // reads the buffers, which members_ still holds
        return file;
    }

    PackageInfo check() { return inspectPackage(write()); }

    fs::path dir_;
    std::map<std::string, std::string> members_;
};

TEST(PackageHelpers, Base64Sha256MatchesKnownDigests) {
    EXPECT_EQ(tvsim::base64Sha256(""), "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=");
    EXPECT_EQ(tvsim::base64Sha256("abc"), "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
}

TEST(PackageHelpers, AttributeOfMatchesWholeNamesOnly) {
    EXPECT_EQ(
        tvsim::attributeOf("<tizen:application id='a.b' package=\"a\"/>", "application", "id"),
        "a.b");
    EXPECT_EQ(tvsim::attributeOf("<application appid=\"x\" id = \"y\"/>", "application", "id"),
              "y");
    EXPECT_EQ(tvsim::attributeOf("<tizen:applications id=\"no\"/><tizen:application id=\"yes\"/>",
                                 "application", "id"),
              "yes");
    EXPECT_EQ(tvsim::attributeOf("<application package=\"p\"/>", "application", "id"), "");
    EXPECT_EQ(tvsim::attributeOf("<widget/>", "application", "id"), "");
}

TEST(PackageHelpers, PercentDecodeLeavesBadEscapesAlone) {
    EXPECT_EQ(tvsim::percentDecode("images/my%20icon.png"), "images/my icon.png");
    EXPECT_EQ(tvsim::percentDecode("a%2Fb%2fc"), "a/b/c");
    EXPECT_EQ(tvsim::percentDecode("100%zz"), "100%zz");
    EXPECT_EQ(tvsim::percentDecode("end%2"), "end%2");
}

// What xmlsec1 and Tizen's tools write canonicalises to the same bytes the signer signed.
TEST(PackageHelpers, CanonicalElementAsC14nWritesIt) {
    const std::string ns = "http://www.w3.org/2000/09/xmldsig#";
    const std::string x = " xmlns=\"" + ns + "\"";
    const std::vector<std::pair<std::string, std::string>> cases = {
        // Tizen's serialisation: only the namespace is added.
        {"<SignedInfo>\n<A Algorithm=\"a\"></A>\n</SignedInfo>",
         "<SignedInfo" + x + ">\n<A Algorithm=\"a\"></A>\n</SignedInfo>"},
        // libxml2's: empty elements, single quotes, spaces in tags, a comment, CRLF.
        {"<SignedInfo >\r\n<A Algorithm='a'/><!-- x --><B  URI = \"u\" />\r\n</SignedInfo >",
         "<SignedInfo" + x + ">\n<A Algorithm=\"a\"></A><B URI=\"u\"></B>\n</SignedInfo>"},
        // Namespaces first, attributes sorted; a repeated default namespace goes.
        {"<Object Id=\"prop\"><P xmlns:dsp=\"d\" Target=\"t\" Id=\"i\" xmlns=\"" + ns +
             "\"><dsp:R URI=\"r\"/></P></Object>",
         "<Object" + x +
             " Id=\"prop\"><P xmlns:dsp=\"d\" Id=\"i\" Target=\"t\"><dsp:R "
             "URI=\"r\"></dsp:R></P></Object>"},
        // A namespace already declared stays as it is.
        {"<SignedInfo xmlns=\"" + ns + "\" a='\"q'/>",
         "<SignedInfo" + x + " a=\"&quot;q\"></SignedInfo>"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(tvsim::canonicalElement(in, ns), out) << in;
    }
    EXPECT_EQ(tvsim::testDevicesOf("<Profile><TestDeviceInfo>\n<TestDevice> D1 </TestDevice>\n"
                                   "<TestDevice>D2</TestDevice><TestDevice/></TestDeviceInfo>"),
              (std::vector<std::string>{"D1", "D2"}));
}

// Broken signature files are refused with a code, never a crash (run under the sanitizers too).
TEST(PackageHelpers, BrokenSignatureFilesAreRefused) {
    const std::string cert = "<X509Data><X509Certificate>MIIB</X509Certificate></X509Data>";
    for (const std::string& broken :
         {std::string(), std::string("<Signature"), std::string("<SignedInfo/>") + cert,
          "<SignedInfo><Reference URI=\"#prop\"/></SignedInfo><SignatureValue>===" + cert,
          std::string("<X509Certificate>") + std::string(5000, '/') + "</X509Certificate>",
          std::string("<SignedInfo x=\"1><A @ = b='' / ><!-- ") + cert}) {
        for (const char* file : {"author-signature.xml", "signature1.xml"}) {
            tvsim::Members members = {{"config.xml", "<widget/>"},
                                      {"author-signature.xml", broken},
                                      {"signature1.xml", broken}};
            members[file] = broken;
            const auto verdict = tvsim::verifySignatures(members, {});
            EXPECT_TRUE(verdict.code == -3 || verdict.code == -4) << broken << ": " << verdict.code;
        }
        tvsim::canonicalElement(broken, "x");
    }
}

TEST_F(PackageCheck, AcceptsSignedPackageAndReadsItsIds) {
    sign({"config.xml", "index.html", "js/main.js"});
    const PackageInfo info = check();
    EXPECT_EQ(info.verdict, Verdict::kOk) << info.reason;
    EXPECT_EQ(info.appId, "Ab12Cd34Ef.Bench");
    EXPECT_EQ(info.packageId, "Ab12Cd34Ef");
    EXPECT_EQ(info.name, "Bench App");
}

TEST_F(PackageCheck, RefusesChangedMemberMissingSignatureOrMissingMember) {
    sign({"config.xml", "index.html"});
    members_["index.html"] += "<!-- changed after signing -->";
    EXPECT_EQ(check().verdict, Verdict::kBadSignature);

    SetUp();
    sign({"config.xml", "index.html"});
    members_.erase("signature1.xml");
    EXPECT_EQ(check().verdict, Verdict::kBadSignature);

    SetUp();
    sign({"config.xml", "index.html"});
    members_.erase("index.html");
    EXPECT_EQ(check().verdict, Verdict::kBadSignature);

    // A signature that leaves config.xml out would let anyone change the ids.
    SetUp();
    sign({"index.html"});
    EXPECT_EQ(check().verdict, Verdict::kBadSignature);
}

TEST_F(PackageCheck, ChangedConfigIsCaughtInEitherSignatureFile) {
    sign({"config.xml"});
    const std::string original = members_["config.xml"];
    members_["config.xml"] = original + " ";
    EXPECT_EQ(check().verdict, Verdict::kBadSignature);
    // Only the distributor signature is stale.
    members_["config.xml"] = original;
    members_["signature1.xml"] =
        "<Signature>" + reference("config.xml", tvsim::base64Sha256("x")) + "</Signature>";
    EXPECT_EQ(check().verdict, Verdict::kBadSignature);
}

TEST_F(PackageCheck, AcceptsPrefixedElementsEscapedUrisAndWrappedDigests) {
    members_["my icon.png"] = std::string("\x89PNG\r\n\x1a\n", 8);
    const std::string configDigest = tvsim::base64Sha256(members_["config.xml"]);
    const std::string wrapped = configDigest.substr(0, 20) + "\n  " + configDigest.substr(20);
    const std::string signature =
        "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">"
        "<ds:Reference URI=\"config.xml\"><ds:DigestValue>\n" +
        wrapped +
        "\n</ds:DigestValue></ds:Reference>"
        "<ds:Reference URI=\"my%20icon.png\"><ds:DigestValue>" +
        tvsim::base64Sha256(members_["my icon.png"]) +
        "</ds:DigestValue></ds:Reference></ds:Signature>";
    members_["author-signature.xml"] = signature;
    members_["signature1.xml"] = signature;
    const PackageInfo info = check();
    EXPECT_EQ(info.verdict, Verdict::kOk) << info.reason;
}

TEST_F(PackageCheck, BrokenArchivesAndConfigs) {
    members_.erase("config.xml");
    sign({"index.html"});
    EXPECT_EQ(check().verdict, Verdict::kBroken);

    SetUp();
    members_["config.xml"] = "<widget><tizen:application id=\"A.b\"/><name>x</name></widget>";
    sign({"config.xml"});
    EXPECT_EQ(check().verdict, Verdict::kBroken);  // no package id

    std::ofstream(dir_ / "text.wgt") << "this is not a zip archive\n";
    EXPECT_EQ(inspectPackage(dir_ / "text.wgt").verdict, Verdict::kBroken);
    EXPECT_EQ(inspectPackage(dir_ / "missing.wgt").verdict, Verdict::kBroken);

    // A zip cut short, as a push dropped on the way leaves it.
    sign({"config.xml"});
    const fs::path whole = write();
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream(dir_ / "cut.wgt", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    EXPECT_EQ(inspectPackage(dir_ / "cut.wgt").verdict, Verdict::kBroken);
}

// Runs `check` in a child process whose address space is capped at 1 GB, so that a check that
// believed a size would fail there instead of taking the memory. (AddressSanitizer needs a huge
// address space: under it the check runs unbounded.)
bool refusedWithinMemory(const std::function<bool()>& check) {
#if defined(__SANITIZE_ADDRESS__)
    return check();
#else
    const pid_t child = fork();
    if (child == 0) {
        const rlimit cap{1u << 30, 1u << 30};
        setrlimit(RLIMIT_AS, &cap);
        bool refused = false;
        try {
            refused = check();
        } catch (...) {  // never back into the test runner from the child
        }
        _exit(refused ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

// A zip whose directory claims sizes its members do not have: the check reads only what really
// comes out, and refuses the package.
TEST_F(PackageCheck, DirectoryThatLiesAboutSizesIsRefused) {
    sign({"config.xml", "index.html"});
    const fs::path file = write();
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        bytes.assign((std::istreambuf_iterator<char>(in)), {});
    }
    for (const char* lie : {"\xf0\xff\xff\xff", "\x00\x00\x00\x00", "\x01\x00\x00\x00"}) {
        std::string patched = bytes;
        // Every member's uncompressed size, in its local header and its directory entry.
        for (auto [signature, field] :
             {std::pair{std::string("PK\x03\x04"), 22}, std::pair{std::string("PK\x01\x02"), 24}}) {
            for (auto at = patched.find(signature); at != std::string::npos;
                 at = patched.find(signature, at + 4)) {
                patched.replace(at + field, 4, lie, 4);
            }
        }
        const fs::path lies = dir_ / "lies.wgt";
        std::ofstream(lies, std::ios::binary) << patched;
        EXPECT_TRUE(refusedWithinMemory([&] {
            const PackageInfo info = inspectPackage(lies);
            return info.verdict != Verdict::kOk && !info.reason.empty();
        })) << "uncompressed sizes patched to "
            << testing::PrintToString(std::string(lie, 4));
    }
}

}  // namespace
