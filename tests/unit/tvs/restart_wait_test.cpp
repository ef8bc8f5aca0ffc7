// The wait for a TV that is not ready yet, over the in-memory clock: which verdicts it waits
// for, when it goes on or stops, and what the status line says meanwhile.
#include "src/tvs/restart_wait.h"

#include <gtest/gtest.h>

#include "platform/memory/fake_clock.h"

using namespace std::chrono_literals;
using State = RestartWait::State;

namespace {

TvVerdict verdict(TvReadiness readiness, const char* model = "19_MUSEL_UHD") {
    TvVerdict v;
    v.readiness = readiness;
    if (readiness != TvReadiness::nothingAnswers) {
        v.description = TvDescription{};
        v.description->type = "Samsung SmartTV";
        v.description->model = model;
    }
    return v;
}

class WaitMachine : public ::testing::Test {
  protected:
    RestartWait start(TvReadiness readiness, const char* model = "19_MUSEL_UHD") {
        return RestartWait(verdict(readiness, model), clock.now(), 180s);
    }
    std::wstring status(const RestartWait& wait, Language language = Language::english) {
        return wait.status(L"192.168.1.66", clock.now(), language);
    }

    platform::memory::FakeClock clock;
};

TEST(RestartCures, OnlyWhatARestartTheRemoteOrTimeChanges) {
    const struct {
        TvReadiness readiness;
        bool cured;
    } cases[] = {
        {TvReadiness::standby, true},         {TvReadiness::developerOff, true},
        {TvReadiness::notActiveYet, true},    {TvReadiness::nothingAnswers, true},
        {TvReadiness::ready, false},          {TvReadiness::reversedHostIp, false},
        {TvReadiness::loopbackHostIp, false}, {TvReadiness::otherHostIp, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(restartCures(c.readiness), c.cured) << static_cast<int>(c.readiness);
}

TEST_F(WaitMachine, EachCurableVerdictWaitsUntilTheTvAnswersReady) {
    for (auto readiness : {TvReadiness::standby, TvReadiness::developerOff,
                           TvReadiness::notActiveYet, TvReadiness::nothingAnswers}) {
        auto wait = start(readiness);
        EXPECT_EQ(wait.state(), State::waiting);
        clock.advance(2s);
        EXPECT_EQ(wait.seen(verdict(readiness), clock.now()), State::waiting);
        // Unplugged: nothing answers for a while, and the wait goes on.
        clock.advance(2s);
        EXPECT_EQ(wait.seen(verdict(TvReadiness::nothingAnswers), clock.now()), State::waiting);
        clock.advance(40s);
        EXPECT_EQ(wait.seen(verdict(TvReadiness::ready, "21_OSCAR_UHD"), clock.now()),
                  State::ready);
        EXPECT_EQ(wait.last().description->modelYear(), 2021) << "the run takes the ready answer";
    }
}

TEST_F(WaitMachine, TheLimitEndsTheWaitWithTheLastVerdict) {
    auto wait = start(TvReadiness::notActiveYet);
    clock.advance(100s);
    wait.seen(verdict(TvReadiness::nothingAnswers), clock.now());
    clock.advance(79'999ms);
    EXPECT_EQ(wait.tick(clock.now()), State::waiting);
    clock.advance(1ms);
    EXPECT_EQ(wait.tick(clock.now()), State::outOfTime);
    EXPECT_EQ(wait.last().readiness, TvReadiness::nothingAnswers);
    // Over is over: a late answer changes nothing.
    EXPECT_EQ(wait.seen(verdict(TvReadiness::ready), clock.now()), State::outOfTime);
    EXPECT_EQ(wait.last().readiness, TvReadiness::nothingAnswers);

    // A curable answer that comes after the limit ends the wait too; a ready one is taken.
    auto late = start(TvReadiness::standby);
    clock.advance(181s);
    EXPECT_EQ(late.seen(verdict(TvReadiness::standby), clock.now()), State::outOfTime);
    auto lateReady = start(TvReadiness::standby);
    clock.advance(181s);
    EXPECT_EQ(lateReady.seen(verdict(TvReadiness::ready), clock.now()), State::ready);
}

TEST_F(WaitMachine, AnAnswerWaitingCannotCureEndsItAtOnce) {
    for (auto readiness :
         {TvReadiness::otherHostIp, TvReadiness::loopbackHostIp, TvReadiness::reversedHostIp}) {
        auto wait = start(TvReadiness::developerOff);
        clock.advance(6s);
        EXPECT_EQ(wait.seen(verdict(readiness), clock.now()), State::notCurable);
        EXPECT_EQ(wait.last().readiness, readiness);
    }
}

TEST_F(WaitMachine, CancelEndsItAndNothingLaterRevivesIt) {
    auto wait = start(TvReadiness::notActiveYet);
    wait.cancel();
    EXPECT_EQ(wait.state(), State::cancelled);
    EXPECT_EQ(wait.seen(verdict(TvReadiness::ready), clock.now()), State::cancelled);
    clock.advance(200s);
    EXPECT_EQ(wait.tick(clock.now()), State::cancelled);
    // Cancel after the TV was ready changes nothing either.
    auto ready = start(TvReadiness::standby);
    ready.seen(verdict(TvReadiness::ready), clock.now());
    ready.cancel();
    EXPECT_EQ(ready.state(), State::ready);
}

TEST_F(WaitMachine, TheStatusCountsWholeSecondsUpToTheLimit) {
    auto wait = start(TvReadiness::notActiveYet);
    const auto said = [&](const wchar_t* waited) {
        return fillIn(text(msgWaitRestart, Language::english), {waited, L"3:00"});
    };
    EXPECT_EQ(status(wait), said(L"0:00"));
    clock.advance(999ms);
    EXPECT_EQ(status(wait), said(L"0:00"));
    clock.advance(1ms);
    EXPECT_EQ(status(wait), said(L"0:01"));
    clock.advance(60s);
    EXPECT_EQ(status(wait), said(L"1:01"));
    clock.advance(10min);
    EXPECT_EQ(status(wait), said(L"3:00"));
    EXPECT_EQ(wait.elapsed(clock.now()), 180s);

    const struct {
        std::chrono::seconds duration;
        const wchar_t* shown;
    } times[] = {{0s, L"0:00"},   {9s, L"0:09"},    {59s, L"0:59"}, {60s, L"1:00"},
                 {185s, L"3:05"}, {600s, L"10:00"}, {-5s, L"0:00"}};
    for (const auto& t : times)
        EXPECT_EQ(minutesAndSeconds(t.duration), t.shown);
}

TEST_F(WaitMachine, TheStatusSaysWhatToDoForWhatTheTvLastSaid) {
    const struct {
        TvReadiness readiness;
        const char* model;
        TextId said;
    } cases[] = {
        {TvReadiness::notActiveYet, "24_PONTUSM_UHD", msgWaitRestart},
        {TvReadiness::developerOff, "19_MUSEL_UHD", msgWaitDeveloperOff},
        {TvReadiness::standby, "25_PONTUSM_UHD", msgWaitStandby},
        {TvReadiness::nothingAnswers, "", msgWaitNothing},
        // Some 2025 sets refuse until developer mode is switched off and on again.
        {TvReadiness::notActiveYet, "25_PONTUSM_UHD", msgWaitRestart2025},
        {TvReadiness::developerOff, "26_X", msgWaitRestart2025},
    };
    for (const auto& c : cases) {
        const auto wait = start(c.readiness, c.model);
        for (Language language : languages) {
            EXPECT_EQ(status(wait, language),
                      fillIn(text(c.said, language), {L"0:00", L"3:00", L"192.168.1.66"}))
                << c.model;
        }
    }
    // The year stays known while the restarting TV answers nothing or tells no model, and the
    // text follows its latest state.
    auto wait = start(TvReadiness::notActiveYet, "25_PONTUSM_UHD");
    wait.seen(verdict(TvReadiness::nothingAnswers), clock.now());
    EXPECT_EQ(status(wait),
              fillIn(text(msgWaitNothing, Language::english), {L"0:00", L"3:00", L"192.168.1.66"}));
    wait.seen(verdict(TvReadiness::notActiveYet, ""), clock.now());
    EXPECT_EQ(status(wait),
              fillIn(text(msgWaitRestart2025, Language::english), {L"0:00", L"3:00"}));
    wait.seen(verdict(TvReadiness::standby, "25_PONTUSM_UHD"), clock.now());
    EXPECT_EQ(status(wait), fillIn(text(msgWaitStandby, Language::english), {L"0:00", L"3:00"}));
}

TEST(RestartWaitLimit, TheEnvironmentShortensItOnlyWithAPlainNumber) {
    const struct {
        const wchar_t* value;
        std::chrono::seconds limit;
    } cases[] = {
        {nullptr, 180s},
        {L"", 180s},
        {L"10", 10s},
        {L"3600", 3600s},
        {L"0", 180s},
        {L"3601", 180s},
        {L"-5", 180s},
        {L"12s", 180s},
        {L" 10", 180s},
        {L"abc", 180s},
        {L"99999999999999999999", 180s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(restartWaitLimit(c.value), c.limit) << (c.value ? c.value : L"(none)");
}

}  // namespace
