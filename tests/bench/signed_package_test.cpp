// A Tizen 7+ simulated TV installing packages signed at test time by xmlsec1 (sign-package.sh)
// with profiles from tests/signing/make-profile.sh: what it accepts, each refusal's code, and the
// installed author.
#include <gtest/gtest.h>

#include <functional>

#include "tests/signing/signing_support.h"
#include "tools/tvsim/options.h"
#include "tools/tvsim/tv.h"

using namespace signing_test;

namespace {

const std::string kApp = "R4vT7mWq2Z.Quorvex";
const std::string kStaging = "/home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt";

// The profiles, made once for the host trees; "second" has CAs of its own.
const ProfileSet& profiles() {
    static const ProfileSet set = sharedProfiles(
        QUORVEX_TEST_PROFILES,
        {{"san", "--duid-in san"},
         {"listed", "--duid-in profile"},
         {"swapped", "--swap"},
         {"expired intermediate", "--duid-in san --expired-intermediate distributor"},
         {"second", "--duid-in san --ca ca2"}});
    return set;
}
// This process's packages and TV.
const TempDir scratch;

// The widget signed with a profile by sign-package.sh (its options: --sha256, --leave-out).
Files signedWith(const std::string& profile, const std::string& options) {
    Files files = {{"config.xml",
                    "<widget xmlns=\"http://www.w3.org/ns/widgets\" xmlns:tizen=\"http://tizen.org/"
                    "ns/widgets\"><tizen:application id=\"" +
                        kApp + "\" package=\"R4vT7mWq2Z\" required_version=\"2.3\"/></widget>\n"},
                   {"index.html", "<html>signed</html>\n"},
                   {"js/main.js", "console.log('signed');\n"},
                   {"images/my icon.png", std::string("\x89PNG\r\n\x1a\n", 8)}};
    const fs::path dir = scratch / "package";
    writeTree(dir, files);
    runOrThrow("bash " QUORVEX_SOURCE_DIR "/tests/bench/sign-package.sh " + quote(dir) + " " +
               quote(profiles() / profile) + " " + options);
    for (const char* file : {"author-signature.xml", "signature1.xml"}) {
        files[file] = readText(dir / file);
    }
    return files;
}

// A 2023 set's options: the profiles' DUID, these roots trusted, then `more`.
std::vector<std::string> tv(std::vector<std::string> more = {},
                            std::vector<std::string> roots = {"ca/author", "ca/distributor"}) {
    std::vector<std::string> args = {"--year", "2023", "--duid", "TESTDUID0001"};
    for (const auto& root : roots) {
        args.insert(args.end(), {"--trusted-root", (profiles() / (root + "-root.pem")).string()});
    }
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Runs `command` (the installation unless told) on a TV with `args`, its state kept from the last
// one's unless `fresh`, after `files` were pushed as the package and, when named, a profile's
// device list: the TV's answer, its log in `log`.
std::string onTv(std::vector<std::string> args, const Files& files, std::string& log,
                 const std::string& listFrom = "", bool fresh = true,
                 const std::string& command = "vd_appinstall " + kApp + " " + kStaging) {
    const fs::path state = scratch / "tv";
    if (fresh) {
        fs::remove_all(state);
    }
    args.insert(args.end(), {"--address", "127.0.0.5", "--state", state.string()});
    tvsim::Tv tv(std::get<tvsim::TvOptions>(tvsim::parseOptions(args)));
    if (!files.empty()) {
        writeBytes(tv.hostPath(kStaging), zipOf(scratch / "zipped", files));
    }
    if (!listFrom.empty()) {
        fs::create_directories(tv.hostPath("/home/developer"));
        fs::copy_file(profiles() / listFrom / "device-profile.xml",
                      tv.hostPath("/home/developer/device-profile.xml"));
    }
    std::string answer;
    tv.runShell(command, [&](const std::string& line) {
        if (line.find("install failed") != std::string::npos ||
            line.find("install completed") != std::string::npos) {
            answer = line.substr(line.find("] ") + 2, line.size() - line.find("] ") - 3);
        }
    });
    log = readText(state / "commands.log");
    return answer;
}

std::string refusal(const std::string& text, int code) {
    return "install failed[118, -12], reason: Check certificate error : :" + text + ":<" +
           std::to_string(code) + ">";
}

TEST(SignedInstall, EachFaultGetsTheTvsCodeAndTheLogSaysWhy) {
    // clang-format off
    const std::string ok = "install completed", yes = "installed: ",
        chain = refusal("Invalid certificate chain with certificate in signature.", -3),
        mismatch = refusal("Invalid signature. The signature does not match the package.", -4),
        unsigned_ = refusal("Invalid file reference. An unsinged file is found.", -5);
    // clang-format on
    const auto year = [](int years, const char* date) {
        return tv({"--clock", std::to_string(1970 + std::time(nullptr) / 31556952 + years) + date});
    };
    using Change = std::function<void(Files&)>;
    const auto add = [](const char* file, const char* more) {
        return [=](Files& f) { f[file] += more; };
    };
    // One letter of the distributor's SignatureValue changed: digests right, signature wrong.
    const Change forge = [](Files& f) {
        char& letter = f["signature1.xml"][f["signature1.xml"].find("<SignatureValue>") + 20];
        letter = letter == 'A' ? 'B' : 'A';
    };
    const Change swap = [](Files& f) { std::swap(f["signature1.xml"], f["author-signature.xml"]); };
    struct Case {
        const char* what;
        std::string answer, logged;
        std::vector<std::string> args = tv();
        std::string profile = "san", options = "", listFrom = "";
        Change change = [](Files&) {};
    };
    // clang-format off
    const Case cases[] = {
        {"DUID in the distributor certificate", ok, yes},
        {"DUID only in the pushed device profile", ok, yes, tv(), "listed", "", "listed"},
        {"a Tizen 8 set", ok, yes, tv({"--tizen", "8.0"})},
        {"rsa-sha256 and sha256 digests", ok, yes, tv(), "san", "--sha256"},
        {"DUID nowhere: no device profile pushed", chain, "DUID", tv(), "listed"},
        {"another TV's DUID", chain, "OTHERDUID99", tv({"--duid", "OTHERDUID99"})},
        {"a file added after signing", unsigned_, "extra.txt", tv(), "san", "", "", add("extra.txt", "x")},
        {"a file only the distributor signed", unsigned_, "author-signature.xml does not reference index.html", tv(), "san", "--leave-out author:index.html"},
        {"the distributor leaves out the author signature", unsigned_, "signature1.xml does not reference author-signature.xml", tv(), "san", "--leave-out distributor:author-signature.xml"},
        {"a file changed after signing", mismatch, "js/main.js", tv(), "san", "", "", add("js/main.js", "//")},
        {"the author signature changed after the distributor signed it", mismatch, "digest mismatch for author-signature.xml", tv(), "san", "", "", add("author-signature.xml", " ")},
        {"a forged SignatureValue", mismatch, "SignatureValue", tv(), "san", "", "", forge},
        {"a profile whose two files were swapped", chain, "swapped", tv(), "swapped"},
        {"the signature files swapped", mismatch, "role-author", tv(), "san", "", "", swap},
        {"only the author's root trusted", chain, "signature1.xml: certificate chain not trusted", tv({}, {"ca/author"})},
        {"no root trusted", chain, "no root trusted", tv({}, {})},
        {"the TV's clock two years on", refusal("Certificate in signature is expired.", -6), "expired", year(2, "-06-01T00:00:00Z")},
        {"the TV's clock a year back", refusal("Certificate in signature is not valid yet.", -7), "not valid yet", year(-1, "-01-01T00:00:00Z")},
        {"an intermediate that has expired", refusal("Certificate in signature is expired.", -6), "expired", tv(), "expired intermediate"},
    };
    // clang-format on
    for (const auto& c : cases) {
        Files files = signedWith(c.profile, c.options);
        c.change(files);
        std::string log;
        EXPECT_EQ(onTv(c.args, files, log, c.listFrom), c.answer) << c.what;
        EXPECT_NE(log.find(c.logged), std::string::npos) << c.what << ": " << log;
    }
}

TEST(SignedInstall, AnotherAuthorsCopyStaysUntilUninstalledByItsOwnId) {
    const std::string otherAuthor =
        "install failed[118, -11], reason: Author certificate not match :";
    const Files files = signedWith("san", "");
    std::string log;
    EXPECT_EQ(onTv(tv({"--installed-by-other-author"}), files, log), otherAuthor);
    EXPECT_NE(log.find("another-author"), std::string::npos) << log;
    EXPECT_EQ(onTv(tv(), {}, log, "", false, "vd_appuninstall " + kApp), "uninstall completed");
    EXPECT_EQ(onTv(tv(), files, log, "", false), "install completed") << log;
    // Now the user is the author: signing again with the same profile installs over it; a
    // profile with another author certificate (a CA of its own) is refused in turn.
    EXPECT_EQ(onTv(tv(), signedWith("san", ""), log, "", false), "install completed") << log;
    const auto ca2 = tv({}, {"ca2/author", "ca2/distributor"});
    EXPECT_EQ(onTv(ca2, signedWith("second", ""), log, "", false), otherAuthor) << log;
}

}  // namespace
