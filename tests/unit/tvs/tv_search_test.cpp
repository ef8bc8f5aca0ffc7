// The search for TVs from the window's side: what it searches, how the list shows what it found,
// and when it fills the address box by itself.
#include <gtest/gtest.h>

#include "platform/memory/memory_form.h"
#include "src/app/installer_window.h"
#include "src/texts/texts.h"
#include "src/tvs/found_tvs.h"
#include "tests/unit/fake_system.h"
#include "tests/unit/message_text.h"

using platform::Control;

namespace {

std::string description(const std::string& name, const std::string& model, const std::string& mode,
                        const std::string& ip) {
    return R"({"device":{"type":"Samsung SmartTV","name":")" + name + R"(","model":")" + model +
           R"(","developerMode":")" + mode + R"(","developerIP":")" + ip + R"("}})";
}

platform::FoundHost host(const wchar_t* address, bool bridge, std::optional<std::string> json) {
    return {address, json.has_value(), {bridge, std::move(json)}};
}

class TvSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        os.addresses.addresses = {{platform::IpVersion::v4, L"10.213.0.1", 24}};
        os.network.answers.bridgeOpen = true;
        os.resources.add(L"IUFILE", "MZ");
        os.resources.add(L"WGTFILE", "PK");
    }
    void finish(std::vector<platform::FoundHost> found) {
        os.network.sweepReport.found = std::move(found);
        os.network.finishSweep();
        os.loop.processMessages();
    }
    const platform::FoundHost readyTv = host(
        L"10.213.0.11", true, description("[TV] Living room", "16_JAZZL_UHD", "1", "10.213.0.1"));

    FakeSystem os;
    platform::memory::MemoryForm window;
    InstallerWindow form{window, os.system};
};

TEST_F(TvSearch, TheWindowSearchesItsNetworksAndListsWhatItFoundAsItIs) {
    form.created();
    ASSERT_EQ(os.network.sweeps.size(), 1u);
    EXPECT_EQ(os.network.sweeps[0].size(), 253u);
    EXPECT_TRUE(window.addressChoices().empty()) << "nothing listed before the search ends";

    finish({host(L"10.213.0.5", false, std::string(R"({"device":{"type":"Printer"}})")),
            host(L"10.213.0.7", false, description("[TV] Bedroom", "17_KANTM_UHD", "0", "0.0.0.0")),
            readyTv,
            host(L"10.213.0.12", true,
                 description("[TV] Office", "19_MUSEL_UHD", "1", "10.213.0.50"))});
    const auto& choices = window.addressChoices();
    ASSERT_EQ(choices.size(), 4u);
    EXPECT_EQ(choices[0].address, L"10.213.0.11");
    EXPECT_EQ(choices[0].label,
              L"10.213.0.11  —  [TV] Living room, 2016, " + text(msgFoundReady, Language::russian));
    EXPECT_EQ(choices[1].label, L"10.213.0.7  —  [TV] Bedroom, 2017, " +
                                    text(msgFoundDeveloperOff, Language::russian));
    EXPECT_EQ(choices[2].label,
              L"10.213.0.12  —  [TV] Office, 2019, " +
                  fillIn(text(msgFoundOtherHost, Language::russian), {L"10.213.0.50"}));
    EXPECT_EQ(choices[3].label, L"10.213.0.5  —  " + text(msgFoundNotTv, Language::russian));

    window.selectItem(Control::languageChoice, languageItem(Language::english));
    form.languageChosen();
    EXPECT_EQ(window.addressChoices()[0].label,
              L"10.213.0.11  —  [TV] Living room, 2016, ready to install");
    // Picking one puts its address into the box.
    window.pickAddress(1);
    EXPECT_EQ(window.text(Control::tvAddressBox), L"10.213.0.7");
}

TEST(FoundTvs, EachStateHasALabelOfItsOwn) {
    const struct {
        platform::FoundHost host;
        const wchar_t* label;
    } cases[] = {
        {host(L"10.213.0.21", false, description("[TV] A", "19_MUSEL_UHD", "1", "1.0.213.10")),
         L"10.213.0.21  —  [TV] A, 2019, Host PC IP stored reversed (1.0.213.10)"},
        {host(L"10.213.0.22", false, description("[TV] B", "19_MUSEL_UHD", "1", "127.0.0.1")),
         L"10.213.0.22  —  [TV] B, 2019, Host PC IP is 127.0.0.1"},
        {host(L"10.213.0.23", false,
              std::string(R"({"device":{"type":"Samsung SmartTV","name":"[TV] C",)"
                          R"("model":"20_T","PowerState":"standby"}})")),
         L"10.213.0.23  —  [TV] C, 2020, in standby"},
        {host(L"10.213.0.24", false, description("[TV] D", "19_MUSEL_UHD", "1", "10.213.0.1")),
         L"10.213.0.24  —  [TV] D, 2019, developer mode not active yet"},
    };
    platform::SweepReport report;
    for (const auto& c : cases)
        report.found.push_back(c.host);
    const auto choices = addressChoices(judgeFound(report, {L"10.213.0.1"}), Language::english);
    ASSERT_EQ(choices.size(), std::size(cases));
    for (size_t i = 0; i < choices.size(); ++i)
        EXPECT_EQ(choices[i].label, cases[i].label);
}

TEST_F(TvSearch, TheOneReadyTvGoesIntoAnEmptyBoxWithItsSeries) {
    window.selectItem(Control::seriesChoice, 1);
    form.created();
    finish({readyTv});
    EXPECT_EQ(window.text(Control::tvAddressBox), L"10.213.0.11");
    EXPECT_EQ(window.itemIndex(Control::seriesChoice), 0);

    // Not over what the user typed, and not when there is more than one.
    window.setText(Control::tvAddressBox, L"10.213.0.9");
    form.refreshClicked();
    finish({readyTv});
    EXPECT_EQ(window.text(Control::tvAddressBox), L"10.213.0.9");
    window.setText(Control::tvAddressBox, L"");
    form.refreshClicked();
    finish({readyTv, host(L"10.213.0.20", true, std::nullopt)});
    EXPECT_EQ(window.text(Control::tvAddressBox), L"");
}

TEST_F(TvSearch, RefreshCancelsTheSearchStillRunningAndItsLateAnswerIsIgnored) {
    form.created();
    // The first search has finished on the network thread; its message waits in the queue.
    os.network.sweepReport.found = {readyTv};
    os.network.finishSweep();
    os.addresses.addresses = {{platform::IpVersion::v4, L"192.168.5.2", 30}};
    form.refreshClicked();
    EXPECT_EQ(os.network.sweeps.size(), 2u);
    EXPECT_EQ(os.network.sweeps[1], std::vector<std::wstring>{L"192.168.5.1"});
    os.loop.processMessages();
    EXPECT_TRUE(window.addressChoices().empty()) << "the first search spoke after the refresh";
    EXPECT_EQ(window.text(Control::tvAddressBox), L"");

    form.refreshClicked();  // the second is still running: cancelled
    EXPECT_EQ(os.network.cancelledSweeps, 1);
}

TEST_F(TvSearch, ASearchEndingDuringARunLeavesTheBoxAlone) {
    form.created();
    window.setText(Control::tvAddressBox, L"10.213.0.30");
    os.processes.onRun = [&](size_t index, const std::wstring&) {
        if (index == 2) {
            os.network.sweepReport.found = {readyTv};
            os.network.finishSweep();
        }
    };
    form.installClicked();
    EXPECT_EQ(os.processes.started.size(), 11u);
    EXPECT_EQ(window.addressChoices().size(), 1u) << "the list is still updated";
    EXPECT_EQ(window.text(Control::tvAddressBox), L"10.213.0.30");
}

}  // namespace
