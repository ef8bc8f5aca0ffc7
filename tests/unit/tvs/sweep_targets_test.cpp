// Which hosts a search for TVs may contact, from this PC's addresses and their networks.
#include "src/tvs/sweep_targets.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using platform::IpVersion;
using platform::LocalAddress;

LocalAddress v4(const wchar_t* text, int prefix) {
    return {IpVersion::v4, text, prefix};
}

bool has(const std::vector<std::wstring>& list, const wchar_t* address) {
    return std::find(list.begin(), list.end(), address) != list.end();
}

TEST(SweepTargets, TheNetworkAroundThePcButNeverMoreThanItsSlash24) {
    const auto home = sweepTargets({v4(L"192.168.1.64", 24)});
    ASSERT_EQ(home.size(), 253u);  // .1 to .254, less the PC itself
    EXPECT_EQ(home.front(), L"192.168.1.1");
    EXPECT_EQ(home.back(), L"192.168.1.254");
    EXPECT_FALSE(has(home, L"192.168.1.64"));
    EXPECT_FALSE(has(home, L"192.168.1.0"));
    EXPECT_FALSE(has(home, L"192.168.1.255"));

    // A /16 office network, and a link-local one, are cut to the /24 around the PC.
    const auto office = sweepTargets({v4(L"10.20.30.40", 16)});
    EXPECT_EQ(office.size(), 253u);
    EXPECT_TRUE(has(office, L"10.20.30.1"));
    EXPECT_FALSE(has(office, L"10.20.31.1"));
    EXPECT_EQ(sweepTargets({v4(L"169.254.7.9", 16)}).size(), 253u);
    // An unknown prefix counts as a /24; a narrower network keeps its own size.
    EXPECT_EQ(sweepTargets({v4(L"172.16.5.5", -1)}).size(), 253u);
    EXPECT_EQ(sweepTargets({v4(L"192.168.9.6", 30)}), std::vector<std::wstring>{L"192.168.9.5"});
    EXPECT_EQ(sweepTargets({v4(L"10.0.0.0", 31)}), std::vector<std::wstring>{L"10.0.0.1"});
    EXPECT_EQ(sweepTargets({v4(L"10.0.0.1", 31)}), std::vector<std::wstring>{L"10.0.0.0"});
    EXPECT_TRUE(sweepTargets({v4(L"10.0.0.7", 32)}).empty());
}

TEST(SweepTargets, OnlyPrivateRangesAtMostFourAdaptersNeverTheSameHostTwice) {
    // Public, loopback, IPv6 and the edges just outside the private ranges are never swept.
    EXPECT_TRUE(sweepTargets({v4(L"8.8.4.4", 24),
                              v4(L"127.0.0.1", 8),
                              v4(L"172.32.0.1", 24),
                              v4(L"172.15.255.1", 24),
                              v4(L"192.169.0.1", 24),
                              v4(L"169.253.0.1", 24),
                              v4(L"169.255.0.1", 24),
                              v4(L"11.0.0.1", 24),
                              {IpVersion::v6, L"fe80::1", 64}})
                    .empty());
    EXPECT_EQ(sweepTargets({v4(L"172.31.255.1", 24)}).size(), 253u);

    // Five adapters: the fifth is left out.
    const auto many = sweepTargets({v4(L"10.0.1.2", 24), v4(L"10.0.2.2", 24), v4(L"10.0.3.2", 24),
                                    v4(L"10.0.4.2", 24), v4(L"10.0.5.2", 24)});
    EXPECT_EQ(many.size(), 4u * 253u);
    EXPECT_FALSE(has(many, L"10.0.5.1"));
    // Two addresses on one network: the hosts once, neither of the PC's own.
    const auto twice = sweepTargets({v4(L"192.168.1.10", 24), v4(L"192.168.1.11", 24)});
    EXPECT_EQ(twice.size(), 252u);
    EXPECT_FALSE(has(twice, L"192.168.1.11"));
    // A public address before them does not use up an adapter.
    EXPECT_EQ(sweepTargets({v4(L"8.8.8.8", 24), v4(L"10.0.1.2", 24), v4(L"10.0.2.2", 24),
                            v4(L"10.0.3.2", 24), v4(L"10.0.4.2", 24)})
                  .size(),
              4u * 253u);
}

}  // namespace
