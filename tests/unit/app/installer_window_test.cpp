// The window's handlers over the in-memory window: start-up texts, language switching, the
// address label and the key filter of the TV address box.
#include <gtest/gtest.h>

#include <map>

#include "platform/memory/fake_addresses.h"
#include "platform/memory/memory_form.h"
#include "src/app/installer_window.h"
#include "src/app/window_language.h"
#include "src/texts/texts.h"
#include "tests/unit/fake_system.h"
#include "tests/unit/message_text.h"

using platform::Control;
using platform::IpVersion;

namespace {

constexpr Control languageControls[] = {
    Control::languageChoice, Control::pcAddressGroup, Control::pcAddressNote,
    Control::refreshButton,  Control::seriesChoice,   Control::installButton,
    Control::tvAddressLabel, Control::installGroup,   Control::status,
    Control::manualGroup,    Control::manual,
};

std::map<Control, std::wstring> allTexts(const platform::FormControls& form) {
    std::map<Control, std::wstring> texts;
    for (int i = 0; i < platform::controlCount; ++i) {
        texts[static_cast<Control>(i)] = form.text(static_cast<Control>(i));
    }
    return texts;
}

class FormTest : public ::testing::Test {
  protected:
    FakeSystem os;
    platform::memory::MemoryForm window;
    InstallerWindow form{window, os.system};
};

TEST_F(FormTest, StartsInRussianWithTheAddressesShown) {
    os.addresses.addresses = {{IpVersion::v4, L"192.168.1.10"}, {IpVersion::v4, L"10.0.0.2"}};
    form.created();
    EXPECT_EQ(window.text(Control::pcAddressGroup), L"IP Адрес ПК");
    EXPECT_EQ(window.text(Control::installButton), L"Установить Виджет");
    EXPECT_EQ(window.text(Control::manual), text(msgManualText, Language::russian));
    EXPECT_EQ(window.text(Control::status), text(msgPrompt, Language::russian));
    EXPECT_EQ(window.text(Control::pcAddresses), L"192.168.1.10         10.0.0.2");
    EXPECT_EQ(window.position(), 0);
    EXPECT_TRUE(window.boxes().empty());
}

TEST_F(FormTest, LanguageSwitchChangesElevenControlsAndNothingElse) {
    os.addresses.addresses = {{IpVersion::v4, L"192.168.1.10"}};
    form.created();
    window.setText(Control::tvAddressBox, L"192.168.1.5");
    window.setPosition(39);
    const auto russian = allTexts(window);

    window.selectItem(Control::languageChoice, languageItem(Language::english));
    form.languageChosen();
    const auto english = allTexts(window);
    const std::map<Control, TextId> expected = {
        {Control::languageChoice, msgLanguage}, {Control::pcAddressGroup, msgPcIp},
        {Control::pcAddressNote, msgIpNote},    {Control::refreshButton, msgRefreshIp},
        {Control::seriesChoice, msgTvSeries},   {Control::installButton, msgInstallBtn},
        {Control::tvAddressLabel, msgTvIp},     {Control::installGroup, msgInstallGroup},
        {Control::status, msgPrompt},           {Control::manualGroup, msgManualTitle},
        {Control::manual, msgManualText},
    };
    for (int i = 0; i < platform::controlCount; ++i) {
        const auto control = static_cast<Control>(i);
        const auto it = expected.find(control);
        if (it != expected.end()) {
            EXPECT_EQ(english.at(control), text(it->second, Language::english)) << i;
            EXPECT_NE(english.at(control), russian.at(control)) << i;
        } else {
            EXPECT_EQ(english.at(control), russian.at(control))
                << "control " << i << " must not change";
        }
    }
    EXPECT_EQ(window.position(), 39);
    EXPECT_EQ(window.itemIndex(Control::seriesChoice), 0);

    window.selectItem(Control::languageChoice, languageItem(Language::russian));
    form.languageChosen();
    EXPECT_EQ(allTexts(window), russian);
}

TEST_F(FormTest, ApplyingALanguageReplacesTheCompletionTextWithThePrompt) {
    form.created();
    window.setText(Control::status, text(msgInstallDone, Language::russian));
    window.selectItem(Control::languageChoice, languageItem(Language::english));
    form.languageChosen();
    EXPECT_EQ(window.text(Control::status),
              L"Enter the IP of your TV, Select its series, Click \"Install Widget\"");
}

TEST_F(FormTest, RefreshQueriesAfreshAndChangesOnlyTheAddressLabel) {
    os.addresses.addresses = {{IpVersion::v4, L"192.168.1.10"}};
    form.created();
    const auto before = allTexts(window);

    os.addresses.addresses = {{IpVersion::v6, L"fe80::1"}, {IpVersion::v4, L"192.168.7.7"}};
    form.refreshClicked();
    EXPECT_EQ(window.text(Control::pcAddresses), L"192.168.7.7");
    form.refreshClicked();
    EXPECT_EQ(window.text(Control::pcAddresses), L"192.168.7.7");
    EXPECT_EQ(os.addresses.queries, 3);

    auto after = allTexts(window);
    after[Control::pcAddresses] = before.at(Control::pcAddresses);
    EXPECT_EQ(after, before);
}

TEST_F(FormTest, KeyFilterAdmitsDigitsFullStopBackspaceAndEditingShortcutsOnly) {
    // Ctrl+A, C, V, X and Z type the control characters 1, 3, 22, 24 and 26.
    for (wchar_t key : std::wstring(L"0123456789.\b\x01\x03\x16\x18\x1A")) {
        wchar_t typed = key;
        form.addressKeyTyped(typed);
        EXPECT_EQ(typed, key) << static_cast<int>(key);
    }
    for (wchar_t key :
         std::wstring(L"aZ-, :;/\\\"&|<>%^\r\t\x7F\x02\x04\x17\x19\x1B\u0661\uFF10ю")) {
        wchar_t typed = key;
        form.addressKeyTyped(typed);
        EXPECT_EQ(typed, L'\0') << static_cast<int>(key);
    }
}

TEST(ApplyLanguage, TheSameLanguageTwiceGivesTheSameTexts) {
    platform::memory::MemoryForm a;
    platform::memory::MemoryForm b;
    applyLanguage(a, Language::english);
    applyLanguage(b, Language::russian);
    applyLanguage(b, Language::english);
    EXPECT_EQ(allTexts(a), allTexts(b));
}

}  // namespace
