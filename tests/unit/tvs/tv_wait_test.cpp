// Waiting for a TV that is not ready yet, through the window over the fakes: the question that
// offers it, the run that goes on by itself, and everything that ends the wait early.
#include <gtest/gtest.h>

#include "platform/memory/memory_form.h"
#include "src/app/installer_window.h"
#include "src/install/failure_cause.h"
#include "src/install/install_commands.h"
#include "src/texts/texts.h"
#include "tests/unit/fake_system.h"
#include "tests/unit/message_text.h"

using platform::Answer;
using platform::Control;
using Box = platform::memory::MemoryForm::Box;
using namespace std::chrono_literals;

namespace {

const std::wstring waitedTv = L"192.168.1.66";
const std::wstring waitingPc = L"192.168.1.64";

platform::TvAnswers answers(bool bridgeOpen, const std::string& model, const std::string& mode,
                            const std::string& ip, const std::string& power = "on") {
    return {bridgeOpen, R"({"device":{"type":"Samsung SmartTV","model":")" + model +
                            R"(","developerMode":")" + mode + R"(","developerIP":")" + ip +
                            R"(","PowerState":")" + power + R"("}})"};
}
const platform::TvAnswers nothing{false, std::nullopt};
const auto notActive = answers(false, "19_MUSEL_UHD", "1", "192.168.1.64");
const auto ready2016 = answers(true, "16_JAZZL_UHD_BASIC", "1", "192.168.1.64");

class TvWait : public ::testing::Test {
  protected:
    void SetUp() override {
        os.resources.add(L"IUFILE", "MZ");
        os.resources.add(L"WGTFILE", "PK");
        os.addresses.addresses = {{platform::IpVersion::v4, waitingPc}};
        form.created();
        window.setText(Control::tvAddressBox, waitedTv);
        // The TV installs whatever it gets.
        os.processes.onRun = [this](size_t started, const std::wstring&) {
            const auto& command = installCommands[started % installCommands.size()];
            if (command.logFile != nullptr) {
                os.files.files[command.logFile] = command.step == InstallStep::install
                                                      ? "app_id[X] install completed\ncmd_ret:0\n"
                                                      : "ok\n";
            }
        };
    }
    // At question `n` (the check's is the first), the TV starts answering `then`.
    void tvChangesAt(size_t n, platform::TvAnswers then) {
        os.network.onAsk = [this, n, then](size_t asked) {
            if (asked == n)
                os.network.answers = then;
        };
    }
    // Runs `action` as a user would, while the run is at question `n`.
    void atQuestion(size_t n, std::function<void()> action) {
        os.network.onAsk = [this, n, action](size_t asked) {
            if (asked == n)
                os.loop.post(action);
        };
    }
    std::wstring verdictOf(const platform::TvAnswers& given, Language language) {
        return *verdictText(judgeTv(given, {waitingPc}), waitedTv, {waitingPc}, language);
    }
    std::wstring waiting(TextId id, const wchar_t* waited, Language language = Language::russian,
                         const wchar_t* limit = L"1:00") {
        return fillIn(text(id, language), {waited, limit, waitedTv});
    }
    bool nothingWrittenOrRun() const {
        for (const auto& entry : os.files.log) {
            if (entry.rfind(L"write", 0) == 0)
                return false;
        }
        return os.files.files.empty() && os.processes.started.empty();
    }

    FakeSystem os;
    platform::memory::MemoryForm window;
    InstallerWindow form{window, os.system, 60s};
};

TEST_F(TvWait, TheQuestionOffersTheWaitOnlyForWhatWaitingCures) {
    const struct {
        platform::TvAnswers given;
        bool offersWait;
    } cases[] = {
        {notActive, true},
        {answers(false, "17_KANTM_UHD", "0", "0.0.0.0"), true},
        {answers(false, "20_NIKEM_UHD", "1", "192.168.1.64", "standby"), true},
        {nothing, true},
        {answers(true, "19_MUSEL_UHD", "1", "192.168.1.70"), false},
        {answers(false, "19_MUSEL_UHD", "1", "127.0.0.1"), false},
        {answers(false, "19_MUSEL_UHD", "1", "64.1.168.192"), false},
    };
    for (const auto& c : cases) {
        os.network.answers = c.given;
        const size_t asked = os.network.asked.size();
        form.installClicked();  // Cancel, or No to the question without a wait
        ASSERT_EQ(window.boxes().size(), asked + 1);
        const auto& box = window.boxes().back();
        const auto why = verdictOf(c.given, Language::russian);
        if (c.offersWait) {
            EXPECT_EQ(box.kind, Box::threeWayQuestion);
            EXPECT_EQ(box.text, why + L"\n\n" + text(msgWaitOffer, Language::russian));
        } else {
            EXPECT_EQ(box.kind, Box::question);
            EXPECT_EQ(box.text, why + L"\n\n" + text(msgInstallAnyway, Language::russian));
        }
        EXPECT_EQ(os.network.asked.size(), asked + 1) << "no wait without a Yes";
        EXPECT_TRUE(nothingWrittenOrRun());
        EXPECT_EQ(window.text(Control::status), text(msgPrompt, Language::russian));
        EXPECT_TRUE(window.enabled(Control::installButton) &&
                    window.enabled(Control::seriesChoice));
    }
}

TEST_F(TvWait, NoInstallsAtOnceAndCancelDoesNothing) {
    os.network.answers = answers(false, "17_KANTM_UHD", "0", "0.0.0.0");
    window.threeWayAnswer = Answer::cancel;
    form.installClicked();
    EXPECT_TRUE(nothingWrittenOrRun());
    EXPECT_EQ(window.itemIndex(Control::seriesChoice), 1) << "the check still names the series";

    window.threeWayAnswer = Answer::no;
    form.installClicked();
    EXPECT_EQ(os.network.asked.size(), 2u) << "one question each press, no wait";
    EXPECT_EQ(os.processes.started.size(), 11u);
    EXPECT_EQ(window.text(Control::status), text(msgInstallDone, Language::russian));
}

TEST_F(TvWait, YesWaitsAndTheRunGoesOnByItselfOnceTheTvIsReady) {
    // The address typed, the TV still unplugged; it comes back at the 15th question (28 s on),
    // first not active yet, then ready: a 2016 set, series J,K.
    os.network.answers = nothing;
    window.selectItem(Control::seriesChoice, 1);
    window.threeWayAnswer = Answer::yes;
    std::vector<std::wstring> statuses;
    bool lockedButCancel = true;
    os.network.onAsk = [&](size_t asked) {
        if (asked == 1)
            return;
        statuses.push_back(window.text(Control::status));
        lockedButCancel = lockedButCancel && window.enabled(Control::installButton) &&
                          window.text(Control::installButton) == L"Отмена" &&
                          !window.enabled(Control::tvAddressBox) &&
                          !window.enabled(Control::seriesChoice) && nothingWrittenOrRun();
        if (asked == 15)
            os.network.answers = notActive;
        if (asked == 20)
            os.network.answers = ready2016;
    };
    form.installClicked();

    EXPECT_TRUE(lockedButCancel) << "while waiting: Cancel only, nothing written or run";
    ASSERT_EQ(statuses.size(), 19u);
    EXPECT_EQ(statuses[0], waiting(msgWaitNothing, L"0:02"));
    EXPECT_EQ(statuses[13], waiting(msgWaitNothing, L"0:28"));
    EXPECT_EQ(statuses[14], waiting(msgWaitRestart, L"0:30"));
    ASSERT_EQ(window.boxes().size(), 1u) << "no second question, no box";
    EXPECT_EQ(window.boxes()[0].kind, Box::threeWayQuestion);
    ASSERT_EQ(os.processes.started.size(), 11u) << "without a second press";
    EXPECT_NE(os.processes.started[6].find(L"/opt/usr/apps/tmp/Quorvex.wgt"), std::wstring::npos)
        << "the series of the ready answer";
    EXPECT_EQ(window.itemIndex(Control::seriesChoice), 0);
    EXPECT_EQ(window.text(Control::status), text(msgInstallDone, Language::russian));
    EXPECT_EQ(window.text(Control::installButton), text(msgInstallBtn, Language::russian));
    EXPECT_TRUE(window.enabled(Control::installButton) && window.enabled(Control::tvAddressBox));
}

TEST_F(TvWait, CancelEndsTheWaitAtOnceAndLeavesEverythingAsBefore) {
    const std::wstring before = text(msgInstallDone, Language::russian);  // an earlier run's
    window.setText(Control::status, before);
    os.network.answers = notActive;
    window.threeWayAnswer = Answer::yes;
    bool pressable = false;
    atQuestion(4, [&] {
        pressable = window.enabled(Control::installButton) &&
                    window.text(Control::installButton) == L"Отмена";
        form.installClicked();
    });
    form.installClicked();
    EXPECT_TRUE(pressable);
    EXPECT_EQ(os.network.asked.size(), 4u) << "no question after the Cancel";
    EXPECT_TRUE(nothingWrittenOrRun());
    EXPECT_EQ(window.boxes().size(), 1u);
    EXPECT_EQ(window.text(Control::status), before);
    EXPECT_EQ(window.text(Control::installButton), text(msgInstallBtn, Language::russian));
    EXPECT_TRUE(window.enabled(Control::installButton) && window.enabled(Control::tvAddressBox) &&
                window.enabled(Control::seriesChoice));
}

TEST_F(TvWait, ClosingTheWindowEndsTheWaitAtOnce) {
    os.network.answers = answers(false, "20_NIKEM_UHD", "1", "192.168.1.64", "standby");
    window.threeWayAnswer = Answer::yes;
    atQuestion(3, [&] { os.loop.quit = true; });
    form.installClicked();
    EXPECT_EQ(os.network.asked.size(), 3u);
    EXPECT_TRUE(nothingWrittenOrRun());
    EXPECT_EQ(window.boxes().size(), 1u);
}

TEST_F(TvWait, TheLimitAsksAgainWithWhatTheTvLastSaid) {
    // Not active yet, then unplugged and never back within the minute: the question names the
    // last answer. No leaves everything as it was; Yes installs.
    window.threeWayAnswer = Answer::yes;
    for (const bool anyway : {false, true}) {
        os.network.answers = notActive;
        const size_t first = os.network.asked.size() + 1;
        tvChangesAt(first + 4, nothing);
        window.answerYes = anyway;
        form.installClicked();
        ASSERT_EQ(window.boxes().size(), anyway ? 4u : 2u);
        EXPECT_EQ(window.boxes().back().kind, Box::question);
        EXPECT_EQ(window.boxes().back().text,
                  fillIn(text(msgWaitGaveUp, Language::russian), {L"1:00"}) + L"\n\n" +
                      verdictOf(nothing, Language::russian) + L"\n\n" +
                      text(msgInstallAnyway, Language::russian));
        // Asked every 2 s for the minute.
        EXPECT_EQ(os.network.asked.size() - first + 1, 30u);
        EXPECT_EQ(os.processes.started.size(), anyway ? 11u : 0u);
        EXPECT_EQ(window.text(Control::status),
                  text(anyway ? msgInstallDone : msgPrompt, Language::russian));
    }
}

TEST_F(TvWait, AnAnswerWaitingCannotCureEndsTheWaitWithItsQuestion) {
    os.network.answers = notActive;
    window.threeWayAnswer = Answer::yes;
    const auto other = answers(false, "19_MUSEL_UHD", "1", "192.168.1.70");
    tvChangesAt(3, other);
    form.installClicked();
    EXPECT_EQ(os.network.asked.size(), 3u);
    ASSERT_EQ(window.boxes().size(), 2u);
    EXPECT_EQ(window.boxes()[1].text, verdictOf(other, Language::russian) + L"\n\n" +
                                          text(msgInstallAnyway, Language::russian));
    EXPECT_TRUE(nothingWrittenOrRun());
}

TEST_F(TvWait, TheLanguageSwitchChangesTheStatusAndTheButtonWhileWaiting) {
    os.network.answers = answers(false, "25_PONTUSM_UHD", "1", "192.168.1.64");
    window.threeWayAnswer = Answer::yes;
    std::wstring status;
    std::wstring button;
    std::wstring statusLater;
    os.network.onAsk = [&](size_t asked) {
        if (asked == 3) {
            os.loop.post([&] {
                window.selectItem(Control::languageChoice, languageItem(Language::english));
                form.languageChosen();
                status = window.text(Control::status);
                button = window.text(Control::installButton);
            });
        }
        if (asked == 4) {
            statusLater = window.text(Control::status);
            os.loop.post([&] { form.installClicked(); });
        }
    };
    form.installClicked();
    EXPECT_EQ(status, waiting(msgWaitRestart2025, L"0:04", Language::english));
    EXPECT_EQ(button, L"Cancel");
    EXPECT_EQ(statusLater, waiting(msgWaitRestart2025, L"0:06", Language::english));
    // Cancelled: the window stays in English, with the prompt.
    EXPECT_EQ(window.text(Control::installButton), text(msgInstallBtn, Language::english));
    EXPECT_EQ(window.text(Control::status), text(msgPrompt, Language::english));
    EXPECT_TRUE(nothingWrittenOrRun());
}

}  // namespace
