// The search for TVs from the window's side: what it searches, how the list grows and shows what
// it found, how the list stays current while the window is idle, and when the search fills the
// address box by itself. The network thread is played by the test (ScriptedNetwork).
#include <gtest/gtest.h>

#include <memory>

#include "platform/memory/memory_form.h"
#include "src/app/installer_window.h"
#include "src/texts/texts.h"
#include "src/tvs/found_tvs.h"
#include "tests/unit/fake_system.h"
#include "tests/unit/message_text.h"

using namespace std::chrono_literals;
using platform::Control;

namespace {

std::string description(const std::string& name, const std::string& model, const std::string& mode,
                        const std::string& ip, const std::string& power = "on") {
    return R"({"device":{"type":"Samsung SmartTV","name":")" + name + R"(","model":")" + model +
           R"(","developerMode":")" + mode + R"(","developerIP":")" + ip + R"(","PowerState":")" +
           power + R"("}})";
}

platform::FoundHost host(const wchar_t* address, bool bridge, std::optional<std::string> json) {
    return {address, json.has_value(), {bridge, std::move(json)}};
}

// What the idle re-check hears from a TV that answers neither question.
platform::FoundHost silentHost(const wchar_t* address) {
    return {address, false, {false, std::nullopt}, true};
}

std::wstring russian(TextId id) {
    return text(id, Language::russian);
}

class TvSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        os.addresses.addresses = {{platform::IpVersion::v4, L"10.213.0.1", 24}};
        os.network.answers.bridgeOpen = true;
        os.resources.add(L"IUFILE", "MZ");
        os.resources.add(L"WGTFILE", "PK");
    }
    // The network thread finds a host; the GUI thread then dispatches what it posted.
    void find(const platform::FoundHost& found) {
        os.network.find(found);
        os.loop.processMessages();
    }
    void finish() {
        os.network.finishSearch();
        os.loop.processMessages();
    }
    void answer(const platform::FoundHost& heard) {
        os.network.answer(heard);
        os.loop.processMessages();
    }
    std::vector<std::wstring> labels() const {
        std::vector<std::wstring> result;
        for (const auto& choice : window.addressChoices())
            result.push_back(choice.label);
        return result;
    }
    std::wstring box() const { return window.text(Control::tvAddressBox); }

    const std::string livingRoom =
        description("[TV] Living room", "16_JAZZL_UHD", "1", "10.213.0.1");
    const platform::FoundHost readyTv = host(L"10.213.0.11", true, livingRoom);
    const std::wstring readyLabel =
        L"10.213.0.11  —  [TV] Living room, 2016, " + russian(msgFoundReady);

    FakeSystem os;
    platform::memory::MemoryForm window;
    InstallerWindow form{window, os.system};
};

TEST_F(TvSearch, TheListGrowsWhileTheSearchGoesOnInAddressOrderReadyTvsFirst) {
    form.created();
    ASSERT_EQ(os.network.searches.size(), 1u);
    const auto& networks = os.network.searches[0]->networks;
    ASSERT_EQ(networks.size(), 1u);
    EXPECT_EQ(networks[0].localAddress, L"10.213.0.1");
    EXPECT_EQ(networks[0].hosts.size(), 253u);
    EXPECT_TRUE(window.searching());
    EXPECT_TRUE(window.addressChoices().empty());

    find(
        host(L"10.213.0.12", true, description("[TV] Office", "19_MUSEL_UHD", "1", "10.213.0.50")));
    find(host(L"10.213.0.5", false, std::string(R"({"device":{"type":"Printer"}})")));
    EXPECT_EQ(labels(),
              (std::vector<std::wstring>{L"10.213.0.12  —  [TV] Office, 2019, " +
                                             fillIn(russian(msgFoundOtherHost), {L"10.213.0.50"}),
                                         L"10.213.0.5  —  " + russian(msgFoundNotTv)}))
        << "listed as each is found, before the search ends";
    find(readyTv);
    find(host(L"10.213.0.7", false, description("[TV] Bedroom", "17_KANTM_UHD", "0", "0.0.0.0")));
    EXPECT_EQ(labels(), (std::vector<std::wstring>{
                            readyLabel,
                            L"10.213.0.7  —  [TV] Bedroom, 2017, " + russian(msgFoundDeveloperOff),
                            L"10.213.0.12  —  [TV] Office, 2019, " +
                                fillIn(russian(msgFoundOtherHost), {L"10.213.0.50"}),
                            L"10.213.0.5  —  " + russian(msgFoundNotTv)}));
    EXPECT_EQ(box(), L"") << "nothing goes into the box while the search goes on";
    EXPECT_TRUE(window.searching());

    finish();
    EXPECT_FALSE(window.searching());
    EXPECT_EQ(box(), L"10.213.0.11");
    window.selectItem(Control::languageChoice, languageItem(Language::english));
    form.languageChosen();
    EXPECT_EQ(window.addressChoices()[0].label,
              L"10.213.0.11  —  [TV] Living room, 2016, ready to install");
    // Picking one puts its address into the box.
    window.pickAddress(1);
    EXPECT_EQ(box(), L"10.213.0.7");
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
        // The bridge port alone: a TV in developer mode whose description did not come.
        {host(L"10.213.0.25", true, std::nullopt), L"10.213.0.25  —  ready to install"},
    };
    std::vector<FoundTv> list;
    for (const auto& c : cases)
        EXPECT_TRUE(mergeFound(list, judgeFound(c.host, {L"10.213.0.1"})));
    const auto choices = addressChoices(list, Language::english);
    ASSERT_EQ(choices.size(), std::size(cases));
    EXPECT_EQ(choices[0].label, cases[4].label) << "the ready one first";
    for (size_t i = 0; i + 1 < choices.size(); ++i)
        EXPECT_EQ(choices[i + 1].label, cases[i].label);

    // A TV that answers nothing keeps its name and year, and says so; once a TV, a TV.
    EXPECT_TRUE(mergeFound(list, judgeFound(silentHost(L"10.213.0.21"), {L"10.213.0.1"})));
    EXPECT_FALSE(mergeFound(list, judgeFound(silentHost(L"10.213.0.21"), {L"10.213.0.1"})))
        << "the same twice is no change";
    EXPECT_EQ(addressChoices(list, Language::english)[1].label,
              L"10.213.0.21  —  [TV] A, 2019, not answering");
    EXPECT_TRUE(mergeFound(list, judgeFound(host(L"10.213.0.21", true, std::nullopt), {})));
    EXPECT_EQ(addressChoices(list, Language::english)[0].label,
              L"10.213.0.21  —  [TV] A, 2019, ready to install");
    // A host nobody listed that answers nothing is not added.
    EXPECT_FALSE(mergeFound(list, judgeFound(silentHost(L"10.213.0.99"), {})));
    EXPECT_EQ(list.size(), std::size(cases));
}

TEST_F(TvSearch, TheNeighbourTableNamesHostsOfTheSearchedNetworksOnly) {
    os.addresses.knownHosts = {L"192.168.7.7", L"10.213.0.40", L"10.213.0.1", L"10.213.0.255",
                               L"10.213.0.40", L"10.213.1.3",  L"10.213.0.9"};
    form.created();
    ASSERT_EQ(os.network.searches.size(), 1u);
    const auto& search = *os.network.searches[0];
    EXPECT_EQ(search.named, (std::vector<std::wstring>{L"10.213.0.40", L"10.213.0.9"}))
        << "another network, this PC itself, the broadcast address and a repeat are left out";
    // A set that answers its knocks after about a second is found when named, and the sweep's
    // empty addresses still cost no more than they did.
    EXPECT_GT(search.limits.namedHostSilence, 1500ms);
    EXPECT_EQ(search.limits.hostSilence, 800ms);
    EXPECT_EQ(search.limits.mostInFlight, 128);
}

TEST_F(TvSearch, TheIdleListFollowsEachTvAndAddsOneThatAnnouncesItself) {
    form.created();
    EXPECT_FALSE(os.network.watchRunning()) << "nothing is asked again while the search runs";
    find(readyTv);
    find(host(L"10.213.0.5", false, std::string("{}")));
    finish();
    ASSERT_TRUE(os.network.watchRunning());
    EXPECT_EQ(os.network.watches.back()->listed, std::vector<std::wstring>{L"10.213.0.11"})
        << "the TVs only, not the host that is no TV";
    EXPECT_EQ(os.network.watches.back()->networks, os.network.searches.back()->networks);
    EXPECT_GE(os.network.watches.back()->limits.interval, 2s) << "a bounded load while idle";

    // The TV goes to standby, is unplugged, comes back: its label follows by itself.
    answer(host(L"10.213.0.11", false,
                description("[TV] Living room", "16_JAZZL_UHD", "1", "10.213.0.1", "standby")));
    EXPECT_EQ(labels()[0], L"10.213.0.11  —  [TV] Living room, 2016, " + russian(msgFoundStandby));
    answer(silentHost(L"10.213.0.11"));
    EXPECT_EQ(labels()[0], L"10.213.0.11  —  [TV] Living room, 2016, " + russian(msgFoundSilent));
    answer(readyTv);
    EXPECT_EQ(labels()[0], readyLabel);
    EXPECT_EQ(os.network.watches.size(), 1u) << "the same TVs: the same watch";

    // A TV that announces itself is listed, and asked again from then on.
    answer(host(L"10.213.0.30", false, description("[TV] Hall", "21_AU_UHD", "1", "10.213.0.1")));
    EXPECT_EQ(labels().size(), 3u);
    EXPECT_EQ(labels()[1], L"10.213.0.30  —  [TV] Hall, 2021, " + russian(msgFoundNotActive));
    ASSERT_TRUE(os.network.watchRunning());
    EXPECT_EQ(os.network.watches.back()->listed,
              (std::vector<std::wstring>{L"10.213.0.11", L"10.213.0.30"}));
    EXPECT_EQ(os.network.watches.size(), 2u);
    EXPECT_FALSE(os.network.watches[0]->open);
}

TEST_F(TvSearch, NothingIsSentDuringARunAndTheListIsKeptCurrentAgainAfter) {
    form.created();
    find(readyTv);
    finish();
    ASSERT_TRUE(os.network.watchRunning());
    auto idleWatch = os.network.watches.back();
    window.setText(Control::tvAddressBox, L"10.213.0.11");
    bool quietDuringRun = true;
    os.processes.onRun = [&](size_t index, const std::wstring&) {
        quietDuringRun =
            quietDuringRun && !os.network.watchRunning() && !os.network.searchRunning();
        if (index == 2) {
            // The old watch's late answer, and a refresh, during the run.
            idleWatch->answered(silentHost(L"10.213.0.11"));
            form.refreshClicked();
        }
    };
    form.installClicked();
    EXPECT_EQ(os.processes.started.size(), 11u);
    EXPECT_TRUE(quietDuringRun);
    EXPECT_FALSE(idleWatch->open);
    os.loop.processMessages();
    EXPECT_EQ(labels()[0], readyLabel) << "an answer given before the run is dropped";
    // The refresh asked for during the run is made once it has ended.
    ASSERT_EQ(os.network.searches.size(), 2u);
    EXPECT_TRUE(os.network.searchRunning());
    EXPECT_TRUE(window.searching());
    find(readyTv);
    finish();
    EXPECT_TRUE(os.network.watchRunning());
    EXPECT_EQ(os.network.watches.size(), 2u);
}

TEST_F(TvSearch, ASearchARunInterruptsIsMadeAgainAfterItAndLeavesTheBoxAlone) {
    form.created();
    window.setText(Control::tvAddressBox, L"10.213.0.30");
    os.processes.onRun = [&](size_t index, const std::wstring&) {
        if (index == 0) {
            EXPECT_FALSE(window.searching());
        }
    };
    form.installClicked();
    EXPECT_EQ(os.processes.started.size(), 11u);
    EXPECT_EQ(os.network.cancelledSearches(), 1);
    ASSERT_EQ(os.network.searches.size(), 2u) << "searched again after the run";
    os.loop.processMessages();
    EXPECT_TRUE(window.searching());
    find(readyTv);
    finish();
    EXPECT_EQ(labels().size(), 1u);
    EXPECT_EQ(box(), L"10.213.0.30");
}

TEST_F(TvSearch, TheOneReadyTvGoesIntoAnEmptyBoxOnceASearch) {
    window.selectItem(Control::seriesChoice, 1);
    form.created();
    find(readyTv);
    finish();
    EXPECT_EQ(box(), L"10.213.0.11");
    EXPECT_EQ(window.itemIndex(Control::seriesChoice), 0);

    // The user empties the box: a change of the list while idle does not put it back.
    window.setText(Control::tvAddressBox, L"");
    answer(silentHost(L"10.213.0.11"));
    answer(readyTv);
    EXPECT_EQ(box(), L"");

    // Not over what the user typed, and not when there is more than one.
    window.setText(Control::tvAddressBox, L"10.213.0.9");
    form.refreshClicked();
    find(readyTv);
    finish();
    EXPECT_EQ(box(), L"10.213.0.9");
    window.setText(Control::tvAddressBox, L"");
    form.refreshClicked();
    find(readyTv);
    find(host(L"10.213.0.20", true, std::nullopt));
    finish();
    EXPECT_EQ(box(), L"");
}

TEST_F(TvSearch, ATvThatBecomesReadyAfterItsRestartGoesIntoTheEmptyBox) {
    form.created();
    find(host(L"10.213.0.11", false,
              description("[TV] Living room", "16_JAZZL_UHD", "1",
                          "10.213.0.1")));  // not active yet
    finish();
    EXPECT_EQ(box(), L"");
    answer(silentHost(L"10.213.0.11"));  // unplugged
    EXPECT_EQ(box(), L"");
    answer(readyTv);  // back, and active
    EXPECT_EQ(labels()[0], readyLabel);
    EXPECT_EQ(box(), L"10.213.0.11");
}

TEST_F(TvSearch, RefreshKeepsTheListUntilItsSearchEndsAndDropsWhatItDidNotFindAgain) {
    form.created();
    find(readyTv);
    find(host(L"10.213.0.12", true, std::nullopt));
    finish();
    form.refreshClicked();
    EXPECT_EQ(labels().size(), 2u) << "the list stays while the new search runs";
    find(host(L"10.213.0.12", true, std::nullopt));
    EXPECT_EQ(labels().size(), 2u);
    finish();
    ASSERT_EQ(labels().size(), 1u);
    EXPECT_EQ(window.addressChoices()[0].address, L"10.213.0.12");
}

TEST_F(TvSearch, RefreshCancelsTheSearchStillRunningAndItsLateAnswersAreIgnored) {
    form.created();
    // The first search found a TV and ended on the network thread; its messages wait in the queue.
    os.network.find(readyTv);
    os.network.finishSearch();
    os.addresses.addresses = {{platform::IpVersion::v4, L"192.168.5.2", 30}};
    form.refreshClicked();
    ASSERT_EQ(os.network.searches.size(), 2u);
    ASSERT_EQ(os.network.searches[1]->networks.size(), 1u);
    EXPECT_EQ(os.network.searches[1]->networks[0].hosts, std::vector<std::wstring>{L"192.168.5.1"});
    os.loop.processMessages();
    EXPECT_TRUE(window.addressChoices().empty()) << "the first search spoke after the refresh";
    EXPECT_TRUE(window.searching());
    EXPECT_EQ(box(), L"");

    form.refreshClicked();  // the second is still running: cancelled
    EXPECT_EQ(os.network.cancelledSearches(), 1);
}

TEST_F(TvSearch, ClosingTheWindowCancelsTheSearchAndTheWatchAtOnce) {
    {
        InstallerWindow closing{window, os.system};
        closing.created();
    }
    ASSERT_FALSE(os.network.searches.empty());
    EXPECT_TRUE(os.network.searches.back()->cancelled);
    {
        InstallerWindow closing{window, os.system};
        closing.created();
        find(readyTv);
        finish();
        ASSERT_TRUE(os.network.watchRunning());
    }
    EXPECT_FALSE(os.network.watches.back()->open);
}

}  // namespace
