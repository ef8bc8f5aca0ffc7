#pragma once
// What the TV's answers say about whether an installation can work, before anything is written.
#include <optional>
#include <string>
#include <vector>

#include "platform/network.h"
#include "src/tvs/tv_description.h"

enum class TvReadiness {
    ready,
    standby,         // the TV is in standby
    developerOff,    // developer mode off, or switched on but not active until unplugged
    notActiveYet,    // developer mode on for this PC, not active until the TV is unplugged
    reversedHostIp,  // the Host PC IP is one of this PC's addresses read backwards
    loopbackHostIp,  // the Host PC IP is 127.0.0.1, left by another tool
    otherHostIp,     // the Host PC IP is another computer's address
    nothingAnswers,  // no TV at this address
};

struct TvVerdict {
    TvReadiness readiness = TvReadiness::nothingAnswers;
    std::optional<TvDescription> description;
    std::wstring hostIp;      // the Host PC IP the TV holds, when it told one
    std::wstring reversedOf;  // for reversedHostIp: this PC's address it is the reverse of

    bool operator==(const TvVerdict&) const = default;
};

// `localAddresses`: this PC's IPv4 addresses, as the window lists them.
TvVerdict judgeTv(const platform::TvAnswers& answers,
                  const std::vector<std::wstring>& localAddresses);

// "192.168.1.2" -> "2.1.168.192".
std::wstring reversedAddress(const std::wstring& address);

// The series choice for the TV's model year: 0 "J,K" (2015-2016), 1 "M,N,Q,R,T" (2017 on).
std::optional<int> seriesForYear(std::optional<int> modelYear);
