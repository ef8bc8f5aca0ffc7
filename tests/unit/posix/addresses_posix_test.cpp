// The host build's neighbour table, read from the kernel's ARP table text.
#include "platform/posix/addresses_posix.h"

#include <gtest/gtest.h>

namespace {

TEST(ArpTable, CompleteAndPermanentEntriesWithAHardwareAddressOnly) {
    const std::string table =
        "IP address       HW type     Flags       HW address            Mask     Device\n"
        "10.213.0.2       0x1         0x2         aa:bb:cc:dd:ee:01     *        lan0\n"
        "10.213.0.3       0x1         0x6         aa:bb:cc:dd:ee:02     *        lan0\n"
        "10.213.0.4       0x1         0x0         00:00:00:00:00:00     *        lan0\n"
        "10.213.0.5       0x1         0x2         00:00:00:00:00:00     *        lan0\n"
        "10.213.0.6       0x1         0x8         aa:bb:cc:dd:ee:03     *        lan0\n"
        "10.213.0.7       0x1         zz          aa:bb:cc:dd:ee:04     *        lan0\n"
        "10.213.0.999     0x1         0x2         aa:bb:cc:dd:ee:05     *        lan0\n"
        "10.213.0.8       0x1\n"
        "\n"
        "192.168.1.1      0x1         0x2         aa:bb:cc:dd:ee:06     *        wlan0\r\n";
    EXPECT_EQ(platform::posix::neighboursFromArpTable(table),
              (std::vector<std::wstring>{L"10.213.0.2", L"10.213.0.3", L"192.168.1.1"}));
    EXPECT_TRUE(platform::posix::neighboursFromArpTable("").empty());
    EXPECT_TRUE(platform::posix::neighboursFromArpTable(
                    "10.213.0.2       0x1         0x2         aa:bb:cc:dd:ee:01     *        lan0\n")
                    .empty())
        << "the first line is the heading";
}

}  // namespace
