#include "src/tvs/local_address_list.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/memory/fake_addresses.h"

using platform::IpVersion;
using platform::LocalAddress;

namespace {

std::wstring listOf(std::vector<LocalAddress> addresses) {
    platform::memory::FakeAddresses source;
    source.addresses = std::move(addresses);
    return localAddressList(source);
}

const LocalAddress a{IpVersion::v4, L"192.168.1.10"};
const LocalAddress b{IpVersion::v4, L"10.0.0.7"};
const LocalAddress c{IpVersion::v4, L"172.16.5.1"};
const LocalAddress v6a{IpVersion::v6, L"fe80::1c2d:3e4f:5a6b:7c8d"};
const LocalAddress v6b{IpVersion::v6, L"2001:db8::1"};

TEST(LocalAddressList, JoinsIpv4AddressesWithNineSpacesInReportedOrder) {
    EXPECT_EQ(listOf({}), L"");
    EXPECT_EQ(listOf({v6a, v6b}), L"");
    EXPECT_EQ(listOf({a}), L"192.168.1.10");
    EXPECT_EQ(listOf({a, b, c}), L"192.168.1.10         10.0.0.7         172.16.5.1");
    EXPECT_EQ(listOf({c, a}), L"172.16.5.1         192.168.1.10");
    // Duplicates are the system's matter and are kept.
    EXPECT_EQ(listOf({a, a}), L"192.168.1.10         192.168.1.10");
}

TEST(LocalAddressList, Ipv6AnywhereLeavesNoStraySeparator) {
    const std::wstring plain = listOf({a, b, c});
    EXPECT_EQ(listOf({v6a, a, b, c}), plain);
    EXPECT_EQ(listOf({a, v6a, b, v6b, c}), plain);
    EXPECT_EQ(listOf({a, b, c, v6a, v6b}), plain);
    EXPECT_EQ(listOf({v6a, a, v6b}), L"192.168.1.10");
}

TEST(LocalAddressList, AFailingQueryReachesTheCaller) {
    struct Failing : platform::AddressSource {
        std::vector<LocalAddress> localAddresses() override { throw platform::Error(L"no stack"); }
        std::vector<std::wstring> neighbours() override { return {}; }
    } failing;
    EXPECT_THROW(localAddressList(failing), platform::Error);
}

}  // namespace
