// The install button for a TV that takes only a widget signed with its owner's profile: the
// profile asked for and checked before anything is written, the DUID, the signed widget, the
// device profile, another author's copy, and what the failure box names.
#include <deque>

#include <gtest/gtest.h>

#include "platform/memory/memory_form.h"
#include "src/install_commands.h"
#include "src/main_form.h"
#include "src/owner_profile.h"
#include "src/signed_run.h"
#include "src/signing_profile.h"
#include "src/signing_texts.h"
#include "src/string_table.h"
#include "src/widget_package.h"
#include "tests/unit/fake_system.h"

using platform::Control;

namespace {

constexpr const char* installCompleted =
    "app_id[R4vT7mWq2Z.Quorvex] install completed\ncmd_ret:0\n";
constexpr const char* otherAuthor =
    "install failed[118, -11], reason: Author certificate not match :\ncmd_ret:0\n";
const std::wstring folder = L"C:\\Users\\tester\\SamsungCertificate\\LivingRoom";
const std::wstring password = L"S3cret-Пароль";
constexpr const char* passwordUtf8Part = "S3cret";

// Valid from 2017 to 2023; the fake clock stands in late 2019.
const std::string author = "p12 password=S3cret-Пароль cn=Owner from=1500000000 to=1700000000";
const std::string distributor =
    "p12 password=S3cret-Пароль cn=TizenSDK from=1500000000 to=1700000000 "
    "uri=URN:tizen:packageid= uri=URN:tizen:deviceid=DUIDINSAN1";
const std::string deviceProfile =
    "<Profile><TestDeviceInfo><TestDevice>DUIDINXML2</TestDevice></TestDeviceInfo></Profile>";

// A widget package: members added to an empty archive.
std::string zipOf(const std::vector<std::pair<std::string, std::string>>& members) {
    static const unsigned char empty[22] = {0x50, 0x4b, 0x05, 0x06};
    std::vector<widget::WidgetPackage::NewMember> added;
    for (const auto& [name, data] : members)
        added.push_back({name, {data.begin(), data.end()}});
    const auto zip = widget::WidgetPackage(empty).rewrite(added);
    return {zip.begin(), zip.end()};
}

std::string description(const std::string& model) {
    return R"({"device":{"type":"Samsung SmartTV","model":")" + model +
           R"(","developerMode":"1","developerIP":"192.168.1.64"}})";
}

std::wstring in(const std::wstring& name) {
    return folder + L"\\" + name;
}

std::string logOf(const std::wstring& line) {
    const auto at = line.find(L" > ");
    if (at == std::wstring::npos)
        return {};
    const auto end = line.find(L" 2>&1", at);
    return std::string(line.begin() + static_cast<long>(at) + 3,
                       line.begin() + static_cast<long>(end));
}

struct Rig {
    Rig() {
        os.resources.add(L"IUFILE", "MZ bridge tool");
        os.resources.add(L"WGTFILE", carried);
        os.addresses.addresses = {{platform::IpVersion::v4, L"192.168.1.64"}};
        os.network.answers = {true, description("23_PONTUSM_UHD")};
        form.FormCreate();
        window.setText(Control::tvIpEdt, L"192.168.1.5");
        os.files.files[in(L"author.p12")] = author;
        os.files.files[in(L"distributor.p12")] = distributor;
        os.files.files[in(L"device-profile.xml")] = deviceProfile;
        os.settings.folder = folder;
        os.dialogs.passwordAnswers.push_back({{password, std::nullopt}});
        window.answerYes = true;
        os.processes.onRun = [this](size_t, const std::wstring& line) { tv(line); };
    }

    // The simulated TV: answers each command line into its log.
    void tv(const std::wstring& line) {
        const auto log = logOf(line);
        const std::wstring wideLog(log.begin(), log.end());
        std::string answer = "ok\n";
        if (line.find(L"getduid") != std::wstring::npos) {
            answer = duids.empty() ? "" : duids.front();
            if (!duids.empty())
                duids.pop_front();
        } else if (line.find(L"push device-profile.xml") != std::wstring::npos) {
            pushedProfile = os.files.files.contains(L"device-profile.xml")
                                ? os.files.files.at(L"device-profile.xml")
                                : "(none)";
            answer = "1 file(s) pushed. 0 file(s) skipped.\n";
        } else if (line.find(L"push Quorvex.wgt") != std::wstring::npos) {
            pushedWidget = os.files.files.at(L"Quorvex.wgt");
            secretsWipedAtPush = os.crypto.signingSecrets.size() >= 2;
            for (const auto* secret : os.crypto.signingSecrets)
                secretsWipedAtPush = secretsWipedAtPush && secret->empty();
        } else if (line.find(L"vd_appinstall") != std::wstring::npos) {
            answer = installs.empty() ? installCompleted : installs.front();
            if (!installs.empty())
                installs.pop_front();
        }
        if (!log.empty())
            os.files.files[wideLog] = answer;
    }

    // What the commands did, shortened to their verbs.
    std::vector<std::string> verbs() const {
        std::vector<std::string> out;
        for (const auto& line : os.processes.started) {
            std::string narrow(line.begin(), line.end());
            for (const char* verb :
                 {"kill-server", "connect", "devices", "getappinstallpath", "getduid",
                  "vd_appuninstall kR4vT7mWq2Z", "vd_appuninstall R4vT7mWq2Z", "mkdir",
                  "push device-profile.xml", "push Quorvex.wgt", "vd_appinstall", "rmfile",
                  "applist"}) {
                if (narrow.find(verb) != std::string::npos) {
                    out.push_back(verb);
                    break;
                }
            }
        }
        return out;
    }

    bool wroteAnything() const {
        for (const auto& entry : os.files.log) {
            if (entry.starts_with(L"write "))
                return true;
        }
        return false;
    }

    const std::string carried =
        zipOf({{"config.xml",
                R"(<widget><tizen:application id="R4vT7mWq2Z.Quorvex" package="R4vT7mWq2Z"/>)"
                "</widget>"},
               {"index.html", "<html></html>"},
               {"author-signature.xml", "old"}});
    std::deque<std::string> duids{"DUIDINSAN1\n"};
    std::deque<std::string> installs;
    std::string pushedProfile, pushedWidget;
    bool secretsWipedAtPush = false;

    FakeSystem os;
    platform::memory::MemoryForm window;
    TmainForm form{window, os.system};
};

class SignedInstall : public ::testing::Test, public Rig {};

const std::vector<std::string> signedRun = {"kill-server",
                                            "connect",
                                            "getduid",
                                            "push device-profile.xml",
                                            "devices",
                                            "getappinstallpath",
                                            "vd_appuninstall kR4vT7mWq2Z",
                                            "mkdir",
                                            "push Quorvex.wgt",
                                            "vd_appinstall",
                                            "rmfile",
                                            "applist",
                                            "kill-server"};

TEST_F(SignedInstall, ASignedRunReadsTheDuidSignsPushesTheProfileAndInstalls) {
    form.BitInstallClick();

    EXPECT_EQ(verbs(), signedRun);
    // The signed package replaces the old signature and keeps the rest; the carried one is as it
    // was.
    const std::vector<unsigned char> pushed(pushedWidget.begin(), pushedWidget.end());
    const widget::WidgetPackage package(pushed);
    const auto contents = [&](const char* name) {
        const auto* member = package.find(name);
        const auto data = member ? package.contents(*member) : std::vector<unsigned char>();
        return std::string(data.begin(), data.end());
    };
    EXPECT_EQ(contents("index.html"), "<html></html>");
    EXPECT_NE(contents("author-signature.xml").find("AuthorSignature"), std::string::npos);
    EXPECT_NE(contents("signature1.xml").find("DistributorSignature"), std::string::npos);
    const auto resource = os.resources.find(L"WGTFILE");
    EXPECT_EQ(std::string(resource.begin(), resource.end()), carried);
    EXPECT_EQ(pushedProfile, deviceProfile);
    EXPECT_TRUE(secretsWipedAtPush);
    EXPECT_EQ(os.crypto.mostOpen, 1);
    for (const wchar_t* gone : {L"iu.exe", L"Quorvex.wgt", L"device-profile.xml"})
        EXPECT_FALSE(os.files.files.contains(gone)) << std::string(gone, gone + 11);
    const auto& progress = window.positionHistory();
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 100);
    EXPECT_GE(progress.size(), 14u);
    EXPECT_EQ(window.text(Control::statusLbl),
              StringTable::instance().text(msgInstallDone, languageRussian));
    EXPECT_EQ(os.settings.folder, folder);
    // The question named the remembered folder; the password dialog named it too.
    ASSERT_FALSE(window.boxes().empty());
    EXPECT_NE(window.boxes().front().text.find(folder), std::wstring::npos);
    ASSERT_EQ(os.dialogs.passwordQuestions.size(), 1u);
    EXPECT_NE(os.dialogs.passwordQuestions[0].intro.find(folder), std::wstring::npos);
}

TEST_F(SignedInstall, ADuidOnlyInTheDeviceProfileIsEnoughAndASlowTvGetsASecondAsk) {
    duids = {"", "DUIDINXML2\n"};
    form.BitInstallClick();
    const auto run = verbs();
    EXPECT_EQ(std::count(run.begin(), run.end(), "getduid"), 2);
    EXPECT_EQ(window.text(Control::statusLbl),
              StringTable::instance().text(msgInstallDone, languageRussian));
}

TEST_F(SignedInstall, AProfileWithoutDeviceProfileSkipsItsPush) {
    os.files.files.erase(in(L"device-profile.xml"));
    form.BitInstallClick();
    auto expected = signedRun;
    std::erase(expected, "push device-profile.xml");
    EXPECT_EQ(verbs(), expected);
    EXPECT_EQ(window.positionHistory().back(), 100);
}

// Each problem a profile can have without any TV: named, and nothing written or run.
TEST_F(SignedInstall, EachBadProfileStopsBeforeAnythingIsWritten) {
    using widget::ProfileProblemKind;
    using Clock = std::chrono::system_clock;
    const std::wstring a = in(L"author.p12"), d = in(L"distributor.p12");
    const std::string big = distributor + std::string(widget::maxKeyFileBytes, ' ');
    struct Case {
        const char* what;
        std::wstring file;  // replaced with `contents`, or removed without
        std::optional<std::string> contents;
        std::wstring typedAuthor, typedDistributor;
        widget::ProfileProblem expected;
    };
    const auto dated = [](ProfileProblemKind kind, std::wstring file, long long from,
                          long long to) {
        widget::ProfileProblem problem{kind, std::move(file)};
        problem.notBefore = Clock::from_time_t(from);
        problem.notAfter = Clock::from_time_t(to);
        return problem;
    };
    widget::ProfileProblem empty{ProfileProblemKind::wrongPassword, a};
    empty.emptyPassword = true;
    const std::vector<Case> cases = {
        {"no author.p12",
         a,
         std::nullopt,
         password,
         password,
         {ProfileProblemKind::fileMissing, a}},
        {"no distributor.p12",
         d,
         std::nullopt,
         password,
         password,
         {ProfileProblemKind::fileMissing, d}},
        {"wrong author password",
         {},
         {},
         L"nope",
         password,
         {ProfileProblemKind::wrongPassword, a}},
        {"wrong distributor password",
         {},
         {},
         password,
         L"nope",
         {ProfileProblemKind::wrongPassword, d}},
        {"empty password", {}, {}, L"", L"", empty},
        {"not PKCS#12",
         a,
         "-----BEGIN CERT",
         password,
         password,
         {ProfileProblemKind::notKeyFile, a}},
        {"too big", d, big, password, password, {ProfileProblemKind::notKeyFile, d}},
        {"no key", a, author + " nokey", password, password, {ProfileProblemKind::notKeyFile, a}},
        {"expired", d, "p12 password=S3cret-Пароль cn=TizenSDK from=1500000000 to=1560000000",
         password, password, dated(ProfileProblemKind::expired, d, 1500000000, 1560000000)},
        {"not yet valid", a, "p12 password=S3cret-Пароль cn=Owner from=1600000000 to=1700000000",
         password, password, dated(ProfileProblemKind::notYetValid, a, 1600000000, 1700000000)},
        {"swapped", a, distributor, password, password, {ProfileProblemKind::swapped, a}},
    };
    for (const auto& c : cases) {
        for (int language : {languageRussian, languageEnglish}) {
            Rig t;
            t.window.selectItem(Control::langRG, language);
            t.form.langRGClick();
            if (!c.file.empty() && c.contents)
                t.os.files.files[c.file] = *c.contents;
            else if (!c.file.empty())
                t.os.files.files.erase(c.file);
            t.os.dialogs.passwordAnswers = {{{c.typedAuthor, c.typedDistributor}}};
            t.os.files.log.clear();
            t.form.BitInstallClick();
            SCOPED_TRACE(c.what);
            ASSERT_FALSE(t.window.boxes().empty());
            const auto& box = t.window.boxes().back();
            EXPECT_EQ(box.kind, platform::memory::MemoryForm::Box::error);
            EXPECT_EQ(box.text, widget::profileProblemText(c.expected, language));
            EXPECT_TRUE(t.os.processes.started.empty());
            EXPECT_FALSE(t.wroteAnything());
            EXPECT_TRUE(t.window.enabled(Control::BitInstall));
        }
    }
}

// Problems only the TV shows: the run stops after asking it, before anything is pushed.
TEST_F(SignedInstall, ADuidTheProfileDoesNotListOrNoDuidStopsBeforeAnyPush) {
    widget::ProfileProblem notListed{widget::ProfileProblemKind::duidNotListed,
                                     in(L"distributor.p12")};
    notListed.duid = L"OTHERTV99";
    notListed.listedDuids = {L"DUIDINSAN1", L"DUIDINXML2"};
    struct Case {
        std::deque<std::string> answers;
        std::wstring expected;
        int asks;
    };
    for (const auto& c : std::vector<Case>{
             {{"OTHERTV99\n"}, widget::profileProblemText(notListed, languageRussian), 1},
             {{"error: closed\n", ""},
              fillIn(signingText(sgnNoDuid, languageRussian), {L"192.168.1.5", duidLogFile}),
              2}}) {
        Rig t;
        t.duids = c.answers;
        t.form.BitInstallClick();
        const auto run = t.verbs();
        EXPECT_EQ(std::count(run.begin(), run.end(), "getduid"), c.asks);
        EXPECT_EQ(run.back(), "kill-server");
        EXPECT_EQ(run.size(), 3u + c.asks);
        for (const auto& entry : t.os.files.log) {
            EXPECT_NE(entry, L"write Quorvex.wgt");
            EXPECT_NE(entry, L"write device-profile.xml");
        }
        EXPECT_FALSE(t.os.files.files.contains(L"iu.exe"));
        ASSERT_FALSE(t.window.boxes().empty());
        EXPECT_EQ(t.window.boxes().back().text, c.expected);
        EXPECT_EQ(t.window.text(Control::statusLbl),
                  StringTable::instance().text(msgInstallFailed, languageRussian));
    }
}

// A carried widget the run cannot sign, or whose own id it cannot read for a -11: the run
// stops there, names why, and still stops the server and removes its files.
TEST_F(SignedInstall, ACarriedWidgetThatFailsStopsTheRunAndCleansUp) {
    auto late = signedRun;
    late.erase(std::find(late.begin(), late.end(), "rmfile"), late.end());
    late.push_back("kill-server");
    struct Case {
        std::string carried;
        std::deque<std::string> installs;
        std::vector<std::string> verbs;
    };
    for (const auto& c : std::vector<Case>{
             {"not a zip archive", {}, {"kill-server", "connect", "getduid", "kill-server"}},
             {zipOf({{"index.html", "<html></html>"}}), {otherAuthor}, late}}) {
        Rig t;
        t.os.resources.add(L"WGTFILE", c.carried);
        t.installs = c.installs;
        t.form.BitInstallClick();
        EXPECT_EQ(t.verbs(), c.verbs);
        ASSERT_FALSE(t.window.boxes().empty());
        EXPECT_EQ(t.window.boxes().back().kind, platform::memory::MemoryForm::Box::error);
        EXPECT_FALSE(t.os.files.files.contains(L"iu.exe"));
        EXPECT_FALSE(t.os.files.files.contains(L"Quorvex.wgt"));
        EXPECT_TRUE(t.window.enabled(Control::BitInstall));
    }
}

TEST_F(SignedInstall, AnotherAuthorsCopyIsRemovedByThePackagesOwnIdOnlyOnYes) {
    for (bool yes : {true, false}) {
        Rig t;
        t.installs = {otherAuthor};
        t.window.onBox = [&t, yes](const platform::memory::MemoryForm::Box& box) {
            if (box.text == signingText(sgnOtherAuthor, languageRussian))
                t.window.answerYes = yes;
        };
        t.form.BitInstallClick();
        auto expected = signedRun;
        if (yes) {
            const auto install = std::find(expected.begin(), expected.end(), "vd_appinstall");
            expected.insert(install + 1, {"vd_appuninstall R4vT7mWq2Z", "vd_appinstall"});
        }
        EXPECT_EQ(t.verbs(), expected) << yes;
        const auto status = t.window.text(Control::statusLbl);
        EXPECT_EQ(status, StringTable::instance().text(yes ? msgInstallDone : msgInstallFailed,
                                                       languageRussian));
        if (!yes) {
            EXPECT_EQ(t.window.boxes().back().text.substr(0, 20),
                      StringTable::instance().text(msgCauseAuthor, languageRussian).substr(0, 20));
        }
    }
}

TEST_F(SignedInstall, CancellingTheFolderDialogForgetsTheProfileAndWritesNothing) {
    window.answerYes = false;  // "No: choose another folder"
    os.files.directories = {L"C:\\Users\\tester\\SamsungCertificate", folder,
                            L"C:\\Users\\tester\\SamsungCertificate\\Empty"};
    os.dialogs.folderAnswers.push_back(std::nullopt);
    form.BitInstallClick();
    ASSERT_EQ(os.dialogs.folderQuestions.size(), 1u);
    EXPECT_EQ(os.dialogs.folderQuestions[0].start, os.settings.root);
    EXPECT_EQ(os.dialogs.folderQuestions[0].offered, std::vector<std::wstring>{folder});
    EXPECT_EQ(os.settings.folder, std::nullopt);
    EXPECT_TRUE(os.dialogs.passwordQuestions.empty());
    EXPECT_TRUE(os.processes.started.empty());
    EXPECT_FALSE(wroteAnything());
}

TEST_F(SignedInstall, AChosenFolderIsRememberedAndACancelledPasswordWritesNothing) {
    os.settings.folder.reset();
    os.dialogs.folderAnswers.push_back(folder);
    os.dialogs.passwordAnswers = {std::nullopt};
    form.BitInstallClick();
    EXPECT_EQ(os.settings.folder, folder);
    // The one question says why a profile is needed and offers the folder dialog.
    ASSERT_EQ(window.boxes().size(), 1u);
    EXPECT_NE(window.boxes()[0].text.find(signingText(sgnChooseNow, languageRussian)),
              std::wstring::npos);
    EXPECT_TRUE(os.processes.started.empty());
    EXPECT_FALSE(wroteAnything());
}

TEST_F(SignedInstall, TheTypedPasswordReachesNoLogTextSettingOrCommand) {
    installs = {"install failed[118, -12], reason: Check certificate error : :x:<-4>\n"};
    form.BitInstallClick();
    std::vector<std::wstring> seen = os.processes.started;
    seen.insert(seen.end(), os.files.log.begin(), os.files.log.end());
    for (const auto& box : window.boxes())
        seen.push_back(box.text);
    for (const auto& q : os.dialogs.passwordQuestions)
        seen.insert(seen.end(), {q.title, q.intro, q.author, q.distributor});
    seen.push_back(window.text(Control::statusLbl));
    seen.push_back(os.settings.folder.value_or(L""));
    for (const auto& text : seen)
        EXPECT_EQ(text.find(L"S3cret"), std::wstring::npos)
            << std::string(text.begin(), text.end());
    for (const auto& [name, contents] : os.files.files) {
        if (!name.starts_with(folder)) {
            EXPECT_EQ(contents.find(passwordUtf8Part), std::string::npos);
        }
    }
    // And the box named the refusal by its code.
    EXPECT_EQ(window.boxes().back().text.substr(0, 20),
              signingText(sgnCauseSignatureMismatch, languageRussian).substr(0, 20));
}

TEST_F(SignedInstall, AnUnsignedRunRefusedWithMinus3OffersTheProfileAndInstallsAgain) {
    os.network.answers = {true, description("19_MUSEL_UHD")};  // looked like an older set
    installs = {
        "install failed[118, -12], reason: Check certificate error : :Invalid certificate "
        "chain with certificate in signature.:<-3>\n"};
    form.BitInstallClick();
    auto expected = std::vector<std::string>{"kill-server",
                                             "connect",
                                             "devices",
                                             "getappinstallpath",
                                             "vd_appuninstall kR4vT7mWq2Z",
                                             "mkdir",
                                             "push Quorvex.wgt",
                                             "vd_appinstall",
                                             "rmfile",
                                             "applist",
                                             "kill-server"};
    expected.insert(expected.end(), signedRun.begin(), signedRun.end());
    EXPECT_EQ(verbs(), expected);
    EXPECT_EQ(window.text(Control::statusLbl),
              StringTable::instance().text(msgInstallDone, languageRussian));
}

TEST(CertificateRefusal, EachCodeIsNamedAndMinus3NeedsAProfile) {
    const auto line = [](const char* code) {
        return std::wstring(L"install failed[118, -12], reason: Check certificate error : :x:<") +
               std::wstring(code, code + 2) + L">";
    };
    const auto signing = [](SigningText id) { return signingText(id, languageEnglish); };
    struct Case {
        const char* code;
        bool withProfile;
        std::optional<std::wstring> expected;
    };
    for (const auto& c : std::vector<Case>{
             {"-3", true, fillIn(signing(sgnCauseNotForThisTv), {folder})},
             {"-3", false, std::nullopt},
             {"-4", false, signing(sgnCauseSignatureMismatch)},
             {"-5", true, signing(sgnCauseUnsignedFile)},
             {"-6", true,
              StringTable::instance().text(msgCauseCertificateExpired, languageEnglish)},
             {"-7", true, signing(sgnCauseNotYetValid)},
             {"-7", false, std::nullopt},
             {"-9", true, std::nullopt}}) {
        EXPECT_EQ(
            certificateRefusalCause(line(c.code), c.withProfile ? folder : L"", languageEnglish),
            c.expected)
            << c.code;
    }
    EXPECT_TRUE(refusedAsUnsigned(line("-3")));
    EXPECT_FALSE(refusedAsUnsigned(L"install failed[118, -11], reason: Author certificate"));
}

TEST(Duid, OnlyOneWordOfLettersAndDigitsIsADuid) {
    struct Case {
        const char* output;
        std::optional<std::wstring> duid;
    };
    for (const auto& c : std::vector<Case>{{"DUIDINSAN1\r\n", L"DUIDINSAN1"},
                                           {"\n  ABCD1234EFGH  \nmore", L"ABCD1234EFGH"},
                                           {"", std::nullopt},
                                           {"error: closed\n", std::nullopt},
                                           {"abc\n", std::nullopt},
                                           {"ABC;rm -rf\n", std::nullopt}}) {
        EXPECT_EQ(duidFromOutput(c.output), c.duid) << c.output;
    }
}

}  // namespace
