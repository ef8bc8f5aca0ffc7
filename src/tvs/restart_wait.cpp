#include "src/tvs/restart_wait.h"

#include <algorithm>

namespace {

// Some 2025 sets refuse the bridge after a restart until developer mode is switched off and on.
constexpr int stubbornModelYear = 2025;

}  // namespace

bool restartCures(TvReadiness readiness) {
    switch (readiness) {
        case TvReadiness::standby:
        case TvReadiness::developerOff:
        case TvReadiness::notActiveYet:
        case TvReadiness::nothingAnswers:
            return true;
        case TvReadiness::ready:
        case TvReadiness::reversedHostIp:
        case TvReadiness::loopbackHostIp:
        case TvReadiness::otherHostIp:
            break;
    }
    return false;
}

RestartWait::RestartWait(TvVerdict first, TimePoint start, std::chrono::seconds limit)
    : last_(std::move(first)), start_(start), limit_(limit) {
    if (last_.description)
        modelYear_ = last_.description->modelYear();
}

RestartWait::State RestartWait::seen(TvVerdict verdict, TimePoint now) {
    if (state_ != State::waiting)
        return state_;
    last_ = std::move(verdict);
    if (last_.description) {
        if (const auto year = last_.description->modelYear())
            modelYear_ = year;
    }
    // A TV that has become ready is taken even when its answer came at the limit.
    if (last_.readiness == TvReadiness::ready)
        state_ = State::ready;
    else if (!restartCures(last_.readiness))
        state_ = State::notCurable;
    else
        tick(now);
    return state_;
}

RestartWait::State RestartWait::tick(TimePoint now) {
    if (state_ == State::waiting && now >= deadline())
        state_ = State::outOfTime;
    return state_;
}

void RestartWait::cancel() {
    if (state_ == State::waiting)
        state_ = State::cancelled;
}

std::chrono::seconds RestartWait::elapsed(TimePoint now) const {
    if (now <= start_)
        return std::chrono::seconds(0);
    return std::min(std::chrono::floor<std::chrono::seconds>(now - start_), limit_);
}

std::wstring RestartWait::status(const std::wstring& address, TimePoint now,
                                 Language language) const {
    const bool stubborn = modelYear_ && *modelYear_ >= stubbornModelYear;
    TextId id = msgWaitRestart;
    switch (last_.readiness) {
        case TvReadiness::standby:
            id = msgWaitStandby;
            break;
        case TvReadiness::nothingAnswers:
            id = msgWaitNothing;
            break;
        case TvReadiness::developerOff:
            id = stubborn ? msgWaitRestart2025 : msgWaitDeveloperOff;
            break;
        default:
            id = stubborn ? msgWaitRestart2025 : msgWaitRestart;
            break;
    }
    return fillIn(text(id, language),
                  {minutesAndSeconds(elapsed(now)), minutesAndSeconds(limit_), address});
}

std::wstring minutesAndSeconds(std::chrono::seconds duration) {
    const auto seconds = duration.count() < 0 ? 0 : duration.count();
    const auto rest = seconds % 60;
    return std::to_wstring(seconds / 60) + (rest < 10 ? L":0" : L":") + std::to_wstring(rest);
}

std::chrono::seconds restartWaitLimit(const wchar_t* value) {
    constexpr long longest = 3600;
    if (value == nullptr || *value == L'\0')
        return RestartWait::defaultLimit;
    long seconds = 0;
    for (const wchar_t* c = value; *c != L'\0'; ++c) {
        if (*c < L'0' || *c > L'9')
            return RestartWait::defaultLimit;
        seconds = seconds * 10 + (*c - L'0');
        if (seconds > longest)
            return RestartWait::defaultLimit;
    }
    return seconds == 0 ? RestartWait::defaultLimit : std::chrono::seconds(seconds);
}
