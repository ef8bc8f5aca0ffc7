// The install button for a TV that takes only a widget signed with its owner's profile, over the
// in-memory platform and a scripted TV.
#include <algorithm>
#include <deque>

#include <gtest/gtest.h>

#include "platform/memory/memory_form.h"
#include "platform/text.h"
#include "src/app/installer_window.h"
#include "src/signing/owner_profile.h"
#include "src/signing/signed_steps.h"
#include "src/signing/signing_profile.h"
#include "src/signing/widget_package.h"
#include "src/texts/texts.h"
#include "tests/unit/fake_system.h"
#include "tests/unit/message_text.h"

using platform::Control;
using Box = platform::memory::MemoryForm::Box;
using Kind = widget::ProfileProblemKind;

namespace {

const std::wstring folder = L"C:\\Users\\tester\\SamsungCertificate\\LivingRoom";
const std::wstring password = L"S3cret-Пароль";
// Valid from 2017 to 2023; the fake clock stands in late 2019.
const std::string author = "p12 password=S3cret-Пароль cn=Owner from=1500000000 to=1700000000";
const std::string distributor =
    "p12 password=S3cret-Пароль cn=TizenSDK from=1500000000 to=1700000000 "
    "uri=URN:tizen:packageid= uri=URN:tizen:deviceid=DUIDINSAN1";
const std::string deviceProfile =
    "<Profile><TestDeviceInfo><TestDevice>DUIDINXML2</TestDevice></TestDeviceInfo></Profile>";
const std::string refusal = "install failed[118, -12], reason: Check certificate error : :x:<";
const std::string otherAuthor =
    "install failed[118, -11], reason: Author certificate not match :\n";
// The commands of a signed run (Rig::verbs).
const std::string signedRun =
    "kill connect duid profile devices path uninstall mkdir push install rm list kill";

std::wstring in(const std::wstring& name) {
    return folder + L"\\" + name;
}

const std::wstring& ru(TextId id) {
    return text(id, Language::russian);
}

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

std::string member(const std::string& zip, const char* name) {
    const widget::WidgetPackage package(std::vector<unsigned char>(zip.begin(), zip.end()));
    const auto* found = package.find(name);
    const auto data = found ? package.contents(*found) : std::vector<unsigned char>();
    return {data.begin(), data.end()};
}

std::string next(std::deque<std::string>& answers, const std::string& otherwise) {
    if (answers.empty())
        return otherwise;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
}

// The window over fakes, a 2023 TV at 192.168.1.5 and a good profile remembered.
struct Rig {
    Rig() {
        os.resources.add(L"IUFILE", "MZ bridge tool");
        os.resources.add(L"WGTFILE", carried);
        os.addresses.addresses = {{platform::IpVersion::v4, L"192.168.1.64"}};
        os.network.answers = {true, description("23_PONTUSM_UHD")};
        form.created();
        window.setText(Control::tvAddressBox, L"192.168.1.5");
        os.files.files = {{in(L"author.p12"), author},
                          {in(L"distributor.p12"), distributor},
                          {in(L"device-profile.xml"), deviceProfile}};
        os.settings.folder = folder;
        os.dialogs.passwordAnswers = {{{password, std::nullopt}}};
        window.answerYes = true;
        os.processes.onRun = [this](size_t, const std::wstring& line) { tv(line); };
        window.onBox = [this](const Box& box) {
            if (box.text == text(msgOtherAuthor, Language::russian))
                window.answerYes = removeOtherCopy;
        };
    }

    // Answers each command line into its log, as the TV and the tool would.
    void tv(const std::wstring& line) {
        const auto has = [&](const wchar_t* part) { return line.find(part) != std::wstring::npos; };
        auto& files = os.files.files;
        std::string answer = "ok\n";
        if (has(L"getduid")) {
            answer = next(duids, "");
        } else if (has(L"vd_appinstall")) {
            answer = next(installs, "app_id[R4vT7mWq2Z.Quorvex] install completed\ncmd_ret:0\n");
        } else if (has(L"push device-profile.xml")) {
            pushedProfile = files.at(L"device-profile.xml");
            answer = profilePush;
        } else if (has(L"push Quorvex.wgt")) {
            pushedWidget = files.at(L"Quorvex.wgt");
            const auto& secrets = os.crypto.signingSecrets;
            secretsWipedAtPush = secrets.size() >= 2 &&
                                 std::ranges::all_of(secrets, [](auto* s) { return s->empty(); });
        }
        if (const auto at = line.find(L" > "); at != std::wstring::npos)
            files[line.substr(at + 3, line.find(L" 2>&1", at) - at - 3)] = answer;
    }

    // The commands run, a word each.
    std::string verbs() const {
        // What a command line holds, and its word. The own uninstall names the application id
        // in the carried config.xml exactly: its package id alone would leave the copy there.
        static const std::pair<const wchar_t*, const char*> parts[] = {
            {L"kill-server", "kill"},
            {L"connect", "connect"},
            {L"getduid", "duid"},
            {L"push device", "profile"},
            {L"devices", "devices"},
            {L"installpath", "path"},
            {L"uninstall kR4", "uninstall"},
            {L"vd_appuninstall R4vT7mWq2Z.Quorvex;", "uninstall-own"},
            {L"mkdir", "mkdir"},
            {L"push Quorvex", "push"},
            {L"vd_appinstall", "install"},
            {L"rmfile", "rm"},
            {L"applist", "list"}};
        std::string out;
        for (const auto& line : os.processes.started) {
            const auto part = std::ranges::find_if(
                parts, [&](const auto& p) { return line.find(p.first) != std::wstring::npos; });
            out += (out.empty() ? "" : " ") +
                   std::string(part != std::end(parts) ? part->second : "?");
        }
        return out;
    }

    bool wrote(const std::wstring& name = L"") const {
        return std::ranges::any_of(os.files.log, [&](const std::wstring& entry) {
            return entry.starts_with(L"write " + name);
        });
    }

    const std::string carried =
        zipOf({{"config.xml",
                R"(<widget><tizen:application id="R4vT7mWq2Z.Quorvex" package="R4vT7mWq2Z"/>)"
                "</widget>"},
               {"index.html", "<html></html>"},
               {"author-signature.xml", "old"}});
    std::deque<std::string> duids{"DUIDINSAN1\n"};
    std::deque<std::string> installs;
    std::string profilePush = "1 file(s) pushed. 0 file(s) skipped.\n";  // what its push prints
    std::string pushedProfile, pushedWidget;
    bool secretsWipedAtPush = false;
    bool removeOtherCopy = true;  // the answer to "-11: remove that copy?"

    FakeSystem os;
    platform::memory::MemoryForm window;
    InstallerWindow form{window, os.system};
};

// The typed password reaches no command, log, file outside the profile, text or setting.
void expectPasswordNowhere(const Rig& t) {
    std::vector<std::wstring> seen = t.os.processes.started;
    std::ranges::copy(t.os.files.log, std::back_inserter(seen));
    std::ranges::transform(t.window.boxes(), std::back_inserter(seen), &Box::text);
    for (const auto& q : t.os.dialogs.passwordQuestions)
        seen.insert(seen.end(), {q.title, q.intro, q.author, q.distributor});
    for (const auto& [name, contents] : t.os.files.files)
        seen.push_back(name.starts_with(folder) ? L"" : platform::fromUtf8(contents));
    seen.insert(seen.end(), {t.window.text(Control::status), t.os.settings.folder.value_or(L"")});
    for (const auto& text : seen)
        EXPECT_EQ(text.find(L"S3cret"), std::wstring::npos) << platform::toUtf8(text);
}

TEST(SignedInstall, EachRunEndsAsItShouldAndCleansUp) {
    widget::ProfileProblem otherTv{.kind = Kind::duidNotListed,
                                   .file = in(L"distributor.p12"),
                                   .duid = L"OTHERTV99",
                                   .listedDuids = {L"DUIDINSAN1", L"DUIDINXML2"}};
    const auto signing = [](TextId id) { return text(id, Language::russian); };
    const auto failed = signing(msgSigningFailed);
    enum {
        none,
        noDeviceProfile,
        profileAtItsBound,
        profilePushFails,
        unsignable,
        withoutOwnId,
        answerNo,
        olderSet
    };
    const auto ok = std::nullopt;
    const struct {
        const char* what;
        std::string verbs;
        std::optional<std::wstring> error;  // the last box is an error starting so; none without
        std::string install = "";           // what vd_appinstall prints first; "": success
        int change = none;
        const char* duid = "DUIDINSAN1\n";  // what getduid prints, and a second time
        const char* secondDuid = "";
    } cases[] = {
        {"signed", signedRun, ok},
        {"DUID only in device-profile.xml, asked twice",
         "kill connect duid duid profile devices path uninstall mkdir push install rm list kill",
         ok, "", none, "", "DUIDINXML2\n"},
        {"no device-profile.xml: no push of it",
         "kill connect duid devices path uninstall mkdir push install rm list kill", ok, "",
         noDeviceProfile},
        {"a device-profile.xml of the largest size taken, the DUID at its end", signedRun, ok, "",
         profileAtItsBound, "DUIDINXML2\n"},
        {"the push of device-profile.xml fails", "kill connect duid profile kill",
         fillIn(signing(msgProfilePushFailed), {L"error: closed"}), "", profilePushFails},
        {"a DUID the profile does not list", "kill connect duid kill",
         widget::profileProblemText(otherTv, Language::russian), "", none, "OTHERTV99\n"},
        {"no DUID", "kill connect duid duid kill",
         fillIn(signing(msgNoDuid), {L"192.168.1.5", duidLogFile}), "", none, "error: closed\n"},
        {"a carried widget that cannot be signed", "kill connect duid kill",
         failed.substr(0, failed.find(L'%')), "", unsignable},
        {"-11 and a carried widget without its own id",
         "kill connect duid profile devices path uninstall mkdir push install kill", L"",
         otherAuthor, withoutOwnId},
        {"-11, Yes: removed by the package's own id",
         "kill connect duid profile devices path uninstall mkdir push install uninstall-own "
         "install rm list kill",
         ok, otherAuthor},
        {"-11, No", signedRun, ru(msgCauseAuthor), otherAuthor, answerNo},
        {"-4 named by its code", signedRun, signing(msgCauseSignatureMismatch), refusal + "-4>\n"},
        {"an older set's -3: the profile, then a signed run",
         "kill connect devices path uninstall mkdir push install rm list kill " + signedRun, ok,
         refusal + "-3>\n", olderSet},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig t;
        if (!c.install.empty())
            t.installs = {c.install};
        t.duids = {c.duid, c.secondDuid};
        if (c.change == noDeviceProfile)
            t.os.files.files.erase(in(L"device-profile.xml"));
        if (c.change == profileAtItsBound) {
            t.os.files.files[in(L"device-profile.xml")] =
                std::string(widget::maxDeviceProfileBytes - deviceProfile.size(), ' ') +
                deviceProfile;
        }
        if (c.change == profilePushFails)
            t.profilePush = "error: closed\n";
        if (c.change == unsignable || c.change == withoutOwnId) {
            t.os.resources.add(L"WGTFILE", c.change == unsignable
                                               ? "not a zip archive"
                                               : zipOf({{"index.html", "<html></html>"}}));
        }
        if (c.change == olderSet)
            t.os.network.answers.description = description("19_MUSEL_UHD");
        t.removeOtherCopy = c.change != answerNo;
        const auto carried = t.os.resources.resources.at(L"WGTFILE");
        t.form.installClicked();

        const auto verbs = t.verbs();
        EXPECT_EQ(verbs, c.verbs);
        const auto ran = [&](const char* word) { return verbs.find(word) != std::string::npos; };
        const auto& boxes = t.window.boxes();
        EXPECT_EQ(std::ranges::count(boxes, Box::error, &Box::kind), c.error ? 1 : 0);
        if (c.error) {
            EXPECT_EQ(boxes.back().kind, Box::error);
            EXPECT_TRUE(boxes.back().text.starts_with(*c.error))
                << platform::toUtf8(boxes.back().text);
        }
        EXPECT_EQ(t.window.text(Control::status), ru(c.error ? msgInstallFailed : msgInstallDone));
        EXPECT_TRUE(t.window.enabled(Control::installButton));
        const auto& progress = t.window.positionHistory();
        EXPECT_TRUE(c.error || (progress.back() == 100 && progress.size() >= 14));
        EXPECT_TRUE(c.change == olderSet || std::ranges::is_sorted(progress));
        // The widget pushed is the carried one signed (written before the profile's push); the
        // carried one stays as it was.
        EXPECT_EQ(t.wrote(L"Quorvex.wgt"), ran("push") || ran("profile"));
        if (ran("push")) {
            EXPECT_TRUE(t.secretsWipedAtPush);
            EXPECT_EQ(member(t.pushedWidget, "index.html"), "<html></html>");
            EXPECT_NE(member(t.pushedWidget, "author-signature.xml").find("AuthorSignature"),
                      std::string::npos);
            EXPECT_NE(member(t.pushedWidget, "signature1.xml").find("DistributorSignature"),
                      std::string::npos);
        }
        EXPECT_EQ(t.os.resources.resources.at(L"WGTFILE"), carried);
        EXPECT_EQ(t.wrote(L"device-profile.xml"), ran("profile"));
        const auto profileFile = t.os.files.files.find(in(L"device-profile.xml"));
        EXPECT_EQ(t.pushedProfile, ran("profile") ? profileFile->second : "");
        for (const wchar_t* gone : {L"iu.exe", L"Quorvex.wgt", L"device-profile.xml"})
            EXPECT_FALSE(t.os.files.files.contains(gone)) << platform::toUtf8(gone);
        EXPECT_EQ(t.os.crypto.mostOpen, 1);
        EXPECT_EQ(t.os.settings.folder, folder);
        ASSERT_EQ(t.os.dialogs.passwordQuestions.size(), 1u);
        EXPECT_NE(t.os.dialogs.passwordQuestions[0].intro.find(folder), std::wstring::npos);
        expectPasswordNowhere(t);
    }
}

// Problems a profile shows without any TV: named, and nothing written or run.
TEST(SignedInstall, EachBadProfileIsNamedBeforeAnythingIsWritten) {
    const std::wstring a = in(L"author.p12"), d = in(L"distributor.p12");
    const auto problem = [](Kind kind, const std::wstring& file, time_t from = 0, time_t to = 0) {
        using Clock = std::chrono::system_clock;
        return widget::ProfileProblem{kind, file, false, Clock::from_time_t(from),
                                      Clock::from_time_t(to)};
    };
    auto nothingTyped = problem(Kind::wrongPassword, a);
    nothingTyped.emptyPassword = true;
    const struct {
        const char* what;
        widget::ProfileProblem expected;
        std::wstring file;  // replaced by `contents`, or removed without
        std::optional<std::string> contents;
        std::wstring typedAuthor = password, typedDistributor = password;
    } cases[] = {
        {"no author.p12", problem(Kind::fileMissing, a), a, std::nullopt},
        {"no distributor.p12", problem(Kind::fileMissing, d), d, std::nullopt},
        {"wrong author password", problem(Kind::wrongPassword, a), L"", std::nullopt, L"nope"},
        {"wrong distributor password", problem(Kind::wrongPassword, d), L"", std::nullopt, password,
         L"nope"},
        {"empty password", nothingTyped, L"", std::nullopt, L"", L""},
        {"not PKCS#12", problem(Kind::notKeyFile, a), a, "-----BEGIN CERT"},
        {"distributor.p12 too large", problem(Kind::fileTooLarge, d), d,
         distributor + std::string(widget::maxKeyFileBytes, ' ')},
        // Its DUID past the bound: a cut copy would neither list it nor be whole on the TV.
        {"device-profile.xml too large", problem(Kind::fileTooLarge, in(L"device-profile.xml")),
         in(L"device-profile.xml"),
         std::string(widget::maxDeviceProfileBytes, ' ') + deviceProfile},
        {"no key", problem(Kind::notKeyFile, a), a, author + " nokey"},
        {"expired", problem(Kind::expired, d, 1500000000, 1560000000), d,
         "p12 password=S3cret-Пароль cn=TizenSDK from=1500000000 to=1560000000"},
        {"not yet valid", problem(Kind::notYetValid, a, 1600000000, 1700000000), a,
         "p12 password=S3cret-Пароль cn=Owner from=1600000000 to=1700000000"},
        {"swapped", problem(Kind::swapped, a), a, distributor},
    };
    for (const auto& c : cases) {
        for (Language language : languages) {
            SCOPED_TRACE(c.what);
            Rig t;
            t.window.selectItem(Control::languageChoice, languageItem(language));
            t.form.languageChosen();
            if (c.contents)
                t.os.files.files[c.file] = *c.contents;
            else if (!c.file.empty())
                t.os.files.files.erase(c.file);
            t.os.dialogs.passwordAnswers = {{{c.typedAuthor, c.typedDistributor}}};
            t.os.files.log.clear();
            t.form.installClicked();
            ASSERT_FALSE(t.window.boxes().empty());
            EXPECT_EQ(t.window.boxes().back().kind, Box::error);
            EXPECT_EQ(t.window.boxes().back().text,
                      widget::profileProblemText(c.expected, language));
            EXPECT_TRUE(t.os.processes.started.empty());
            EXPECT_FALSE(t.wrote());
            EXPECT_TRUE(t.window.enabled(Control::installButton));
        }
    }
}

// The folder dialog cancelled forgets the folder; a chosen one is remembered; a cancel anywhere
// writes and runs nothing.
TEST(SignedInstall, TheProfileQuestionsRememberTheChoiceAndACancelWritesNothing) {
    const struct {
        const char* what;
        bool remembered;
        std::optional<std::wstring> chosen;
        std::wstring question;
        size_t passwordDialogs;
    } cases[] = {
        {"remembered, No, folder dialog cancelled", true, std::nullopt,
         fillIn(text(msgUseRemembered, Language::russian), {folder}), 0},
        {"none remembered, chosen, passwords cancelled", false, folder,
         text(msgChooseNow, Language::russian), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig t;
        if (!c.remembered)
            t.os.settings.folder.reset();
        t.window.answerYes = !c.remembered;
        t.os.files.directories = {t.os.settings.root, folder, t.os.settings.root + L"\\Empty"};
        t.os.dialogs.folderAnswers = {c.chosen};
        t.os.dialogs.passwordAnswers = {std::nullopt};
        t.form.installClicked();
        ASSERT_EQ(t.window.boxes().size(), 1u);
        EXPECT_NE(t.window.boxes()[0].text.find(c.question), std::wstring::npos);
        ASSERT_EQ(t.os.dialogs.folderQuestions.size(), 1u);
        EXPECT_EQ(t.os.dialogs.folderQuestions[0].start, t.os.settings.root);
        EXPECT_EQ(t.os.dialogs.folderQuestions[0].offered, std::vector<std::wstring>{folder});
        EXPECT_EQ(t.os.settings.folder, c.chosen);
        EXPECT_EQ(t.os.dialogs.passwordQuestions.size(), c.passwordDialogs);
        EXPECT_TRUE(t.os.processes.started.empty());
        EXPECT_FALSE(t.wrote());
    }
}

// The year that makes a run signed comes from the check of the TV at the typed address, or from
// the search's entry for exactly that address, never from another TV's.
TEST(SignedInstall, TheYearThatAsksForAProfileIsTheTvsOwn) {
    const auto tv = [](const wchar_t* address, const char* model) {
        TvVerdict verdict;
        verdict.description = TvDescription{};
        verdict.description->type = "Samsung SmartTV";
        verdict.description->model = model;
        return FoundTv{address, true, verdict};
    };
    const auto checked = [&](const char* model) { return tv(L"", model).verdict; };
    const std::vector<FoundTv> found = {tv(L"10.0.0.12", "24_PONTUSM_UHD"),
                                        tv(L"10.0.0.3", "19_MUSEL_UHD"),
                                        tv(L"10.0.0.4", "23_PONTUSM_UHD")};
    const struct {
        const wchar_t* typed;
        std::optional<TvVerdict> check;
        std::optional<int> year;
    } cases[] = {
        {L"10.0.0.1", std::nullopt, std::nullopt},  // 10.0.0.12 is another TV
        {L"10.0.0.12", std::nullopt, 2024},
        {L"10.0.0.4", std::nullopt, 2023},
        {L"10.0.0.3", std::nullopt, std::nullopt},
        {L"10.0.0.12", checked("19_MUSEL_UHD"), std::nullopt},  // the check knows better
        {L"10.0.0.3", checked("25_BENCH_UHD"), 2025},
        {L"10.0.0.1", TvVerdict{}, std::nullopt},  // asked, no description
    };
    for (const auto& c : cases) {
        EXPECT_EQ(yearNeedingSignature(c.typed, c.check, found), c.year)
            << platform::toUtf8(c.typed);
    }
}

TEST(Duid, OnlyOneWordOfLettersAndDigitsIsADuid) {
    const std::pair<const char*, std::optional<std::wstring>> cases[] = {
        {"DUIDINSAN1\r\n", L"DUIDINSAN1"},
        {"\n  ABCD1234EFGH  \nmore", L"ABCD1234EFGH"},
        {"", std::nullopt},
        {"error: closed\n", std::nullopt},
        {"abc\n", std::nullopt},
        {"ABC;rm -rf\n", std::nullopt}};
    for (const auto& [output, duid] : cases)
        EXPECT_EQ(duidFromOutput(output), duid) << output;
}

}  // namespace
