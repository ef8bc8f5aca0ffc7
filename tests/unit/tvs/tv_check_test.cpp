// The check of the TV before a run, over a scripted network: what the window shows and asks,
// and that a No leaves everything as it was.
#include <gtest/gtest.h>

#include "platform/memory/memory_form.h"
#include "src/app/installer_window.h"
#include "src/install/failure_cause.h"
#include "src/texts/texts.h"
#include "tests/unit/fake_system.h"
#include "tests/unit/message_text.h"

using platform::Control;
using Box = platform::memory::MemoryForm::Box;

namespace {

std::string description(const std::string& model, const std::string& mode, const std::string& ip) {
    return R"({"device":{"type":"Samsung SmartTV","model":")" + model + R"(","developerMode":")" +
           mode + R"(","developerIP":")" + ip + R"("}})";
}

class TvCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        os.resources.add(L"IUFILE", "MZ");
        os.resources.add(L"WGTFILE", "PK");
        os.addresses.addresses = {{platform::IpVersion::v4, L"192.168.1.64"}};
        form.created();
        window.setText(Control::tvAddressBox, L"192.168.001.066");
    }
    std::wstring checking(Language language) {
        return fillIn(text(msgCheckingTv, language), {L"192.168.1.66"});
    }

    FakeSystem os;
    platform::memory::MemoryForm window;
    InstallerWindow form{window, os.system};
};

TEST_F(TvCheck, AReadyTvIsAskedAtItsPlainAddressAndTheRunGoesOnWithItsSeries) {
    os.network.answers = {true, description("16_JAZZL_UHD_BASIC", "1", "192.168.1.64")};
    window.selectItem(Control::seriesChoice, 1);
    form.installClicked();
    EXPECT_EQ(os.network.asked, std::vector<std::wstring>{L"192.168.1.66"});
    EXPECT_EQ(window.itemIndex(Control::seriesChoice), 0) << "a 2016 set is series J,K";
    EXPECT_TRUE(window.boxes().empty() || window.boxes()[0].kind != Box::question);
    ASSERT_EQ(os.processes.started.size(), 11u);
    EXPECT_NE(os.processes.started[6].find(L"/opt/usr/apps/tmp/Quorvex.wgt"), std::wstring::npos);
}

TEST_F(TvCheck, WhileItWaitsTheWindowAnswersAndShowsTheCheckInTheCurrentLanguage) {
    // The TV never answers: the check gives up on its own and the run goes on as the answers
    // so far allow (the bridge port was open).
    os.network.answers = {true, std::nullopt};
    os.network.silent = true;
    std::wstring seen;
    bool locked = false;
    os.loop.post([&] {
        locked = !window.enabled(Control::installButton) &&
                 !window.enabled(Control::tvAddressBox) && !window.enabled(Control::seriesChoice);
        window.selectItem(Control::languageChoice, languageItem(Language::english));
        form.languageChosen();
        seen = window.text(Control::status);
    });
    const auto before = os.clock.now();
    form.installClicked();
    EXPECT_TRUE(locked);
    EXPECT_EQ(seen, checking(Language::english));
    EXPECT_LE(os.clock.now() - before, std::chrono::seconds(6));
    EXPECT_EQ(os.processes.started.size(), 11u);
}

TEST_F(TvCheck, NoLeavesEverythingAsItWasAndYesRunsAsAlways) {
    // A Host PC IP that is another computer's: no wait cures it, the question is Yes or No.
    os.network.answers = {false, description("17_KANTM_UHD", "1", "192.168.1.70")};
    window.selectItem(Control::languageChoice, languageItem(Language::english));
    form.languageChosen();
    form.installClicked();
    ASSERT_EQ(window.boxes().size(), 1u);
    EXPECT_EQ(window.boxes()[0].kind, Box::question);
    EXPECT_EQ(window.boxes()[0].text, fillIn(text(msgVerdictOtherHost, Language::english),
                                             {L"192.168.1.66", L"192.168.1.70", L"192.168.1.64"}) +
                                          L"\n\n" + text(msgInstallAnyway, Language::english));
    EXPECT_TRUE(os.processes.started.empty());
    for (const auto& entry : os.files.log)
        EXPECT_EQ(entry.rfind(L"write", 0), std::wstring::npos) << "wrote " << entry;
    EXPECT_TRUE(os.files.files.empty());
    EXPECT_EQ(window.text(Control::status), text(msgPrompt, Language::english));
    EXPECT_EQ(window.itemIndex(Control::seriesChoice), 1) << "a 2017 set is series M,N,Q,R,T";
    EXPECT_TRUE(window.enabled(Control::installButton) && window.enabled(Control::tvAddressBox));

    window.answerYes = true;
    form.installClicked();
    EXPECT_EQ(os.processes.started.size(), 11u);
    EXPECT_EQ(window.position(), 100);
}

TEST_F(TvCheck, TheQuestionNamesTheTvsHostPcIpAndThisPcsAddresses) {
    os.network.answers = {true, description("19_MUSEL_UHD", "1", "192.168.1.70")};
    os.addresses.addresses.push_back({platform::IpVersion::v4, L"10.8.0.2"});
    form.installClicked();
    ASSERT_EQ(window.boxes().size(), 1u);
    EXPECT_EQ(window.boxes()[0].text,
              fillIn(text(msgVerdictOtherHost, Language::russian),
                     {L"192.168.1.66", L"192.168.1.70", L"192.168.1.64, 10.8.0.2"}) +
                  L"\n\n" + text(msgInstallAnyway, Language::russian));
}

TEST_F(TvCheck, ClosingTheWindowDuringTheCheckWritesAndRunsNothing) {
    os.network.silent = true;
    os.loop.post([&] { os.loop.quit = true; });
    form.installClicked();
    EXPECT_TRUE(os.processes.started.empty());
    EXPECT_TRUE(os.files.files.empty());
    EXPECT_TRUE(window.boxes().empty());
}

}  // namespace
