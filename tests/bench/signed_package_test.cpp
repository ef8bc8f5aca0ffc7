// A Tizen 7+ simulated TV installing packages signed at test time by xmlsec1 (sign-package.sh)
// with profiles from tests/signing/make-profile.sh: what it accepts, each refusal's code, and the
// installed author.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

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

const std::string kStaging = "/home/owner/share/tmp/sdk_tools/tmp/Quorvex.wgt";
const std::string kApp = "R4vT7mWq2Z.Quorvex";
const std::string kSource = QUORVEX_SOURCE_DIR;

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

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A helper script's output goes to this log, kept for a look after a failure.
const fs::path kScriptLog = fs::temp_directory_path() / "quorvex-bench-signed.log";

int run(const std::string& command) {
    const fs::path& log = kScriptLog;
    return std::system((command + " >>'" + log.string() + "' 2>&1").c_str());
}

class SignedInstall : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("quorvex-bench-signed-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::remove(kScriptLog);
        const std::string script = kSource + "/tests/signing/make-profile.sh";
        for (const auto& [profile, args] :
             std::map<std::string, std::string>{{"san", "--duid-in san"},
                                                {"listed", "--duid-in profile"},
                                                {"swapped", "--swap"}}) {
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

    // Both signatures over the members as they are now, with `profile`'s certificates;
    // `options` go to sign-package.sh (--sha256, --leave-out ROLE:FILE).
    void sign(const std::string& profile, const std::string& options = "") {
        const fs::path dir = root_ / "pkg";
        fs::remove_all(dir);
        for (const auto& [name, bytes] : members_) {
            fs::create_directories((dir / name).parent_path());
            std::ofstream(dir / name, std::ios::binary) << bytes;
        }
        ASSERT_EQ(run("bash '" + kSource + "/tests/bench/sign-package.sh' '" + dir.string() +
                      "' '" + (root_ / profile).string() + "' " + options),
                  0);
        for (const char* file : {"author-signature.xml", "signature1.xml"}) {
            members_[file] = readFile(dir / file);
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
        log_ = readFile(state / "commands.log");
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
        std::string signOptions;
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
        {"rsa-sha256 and sha256 digests", "san", {}, "--sha256", tv2023(), "", completed, "installed: "},
        {"DUID nowhere: no device profile pushed", "listed", {}, "", tv2023(), "", chain, "DUID"},
        {"another TV's DUID", "san", {}, "", tv2023Args({"--duid", "OTHERDUID99"}), "", chain, "OTHERDUID99"},
        {"a file added after signing", "san", change("extra.txt", "x"), "", tv2023(), "", unsigned_, "extra.txt"},
        {"a file only the distributor signed", "san", {}, "--leave-out author:index.html", tv2023(), "", unsigned_,
         "author-signature.xml does not reference index.html"},
        {"the author signature left out by the distributor", "san", {}, "--leave-out distributor:author-signature.xml",
         tv2023(), "", unsigned_, "signature1.xml does not reference author-signature.xml"},
        {"a file changed after signing", "san", change("js/main.js", "//"), "", tv2023(), "", mismatch, "js/main.js"},
        {"the author signature changed after the distributor signed it", "san",
         change("author-signature.xml", " "), "", tv2023(), "", mismatch, "digest mismatch for author-signature.xml"},
        {"a forged SignatureValue", "san", forge, "", tv2023(), "", mismatch, "SignatureValue"},
        {"a profile whose two files were swapped", "swapped", {}, "", tv2023(), "", chain, "swapped"},
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
        sign(c.profile, c.signOptions);
        if (c.afterSigning) {
            c.afterSigning(members_);
        }
        EXPECT_EQ(install(c.args, c.pushProfileFrom), c.answer) << c.what;
        EXPECT_NE(log_.find(c.logged), std::string::npos) << c.what << ": " << log_;
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
    ASSERT_EQ(
        run("bash '" + kSource + "/tests/signing/make-profile.sh' '" + (root_ / "second").string() +
            "' --ca '" + (root_ / "ca2").string() + "' --duid-in san"),
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
