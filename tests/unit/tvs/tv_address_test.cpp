#include "src/tvs/tv_address.h"

#include <gtest/gtest.h>

namespace {

TEST(TvAddress, AcceptsDottedIpv4AndGivesItsPlainForm) {
    const struct {
        const wchar_t* typed;
        const wchar_t* plain;
    } good[] = {
        {L"192.168.1.5", L"192.168.1.5"},
        {L"0.0.0.0", L"0.0.0.0"},
        {L"255.255.255.255", L"255.255.255.255"},
        {L"127.0.0.1", L"127.0.0.1"},
        {L"  10.0.0.7  ", L"10.0.0.7"},
        // What comes along when an address is copied from a chat or a web page.
        {L"\t192.168.1.5\r\n", L"192.168.1.5"},
        {L"\u00A0192.168.1.5\u202F", L"192.168.1.5"},
        {L"\u200B\uFEFF192.168.1.5\u3000\u2029", L"192.168.1.5"},
        {L"010.001.000.009", L"10.1.0.9"},
        {L"1.2.3.4", L"1.2.3.4"},
    };
    for (const auto& [typed, plain] : good) {
        const auto result = validTvAddress(typed);
        ASSERT_TRUE(result.has_value()) << typed;
        EXPECT_EQ(*result, plain);
    }
}

TEST(TvAddress, RefusesAnythingElse) {
    const wchar_t* bad[] = {
        L"",
        L"       ",
        L"1234567",         // seven characters, but no address
        L"192.168.1",       // three parts
        L"192.168.1.5.6",   // five parts
        L"192.168.1.256",   // out of range
        L"192.168.1.0005",  // too many digits
        L"192..168.1",
        L".192.168.1.5",
        L"192.168.1.5.",
        L"192.168.1.5:26101",
        L"192.168.1.5 & calc",
        L"192.168.1.5\" & del *.* & \"",
        L"192.168.1.5|more",
        L"192.168.1.5>x",
        L"192.168.1.5;echo",
        L"192.168.1.5\t\u00A0x",
        L"192.168.1.5\n1",
        L"192.168.\u00A01.5",  // blanks inside stay refused
        L"\u00A0\t\r\n",
        L"192.168.1.-5",
        L"192.168.1.+5",
        L"1 92.168.1.5",
        L"192.168.1.5 1",
        L"٣.٣.٣.٣",      // digits of other scripts
        L"１.２.３.４",  // full-width digits
        L"a.b.c.d",
        L"::1",
        L"0x7f.0.0.1",
    };
    for (const wchar_t* text : bad) {
        EXPECT_FALSE(validTvAddress(text).has_value()) << text;
    }
}

}  // namespace
