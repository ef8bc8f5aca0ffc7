#include "src/texts/string_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

std::vector<std::wstring> lines(const std::wstring& text) {
    std::vector<std::wstring> result;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(L'\n', start);
        result.push_back(text.substr(start, end - start));
        if (end == std::wstring::npos)
            return result;
        start = end + 1;
    }
}

const StringTable& table() {
    return StringTable::instance();
}

TEST(StringTable, EntriesAreOrderedRussianThenEnglishAndNoneIsEmpty) {
    EXPECT_EQ(table().entry(0), L"Выполняется установка виджета");
    EXPECT_EQ(table().entry(1), L"Widget installation in progress");
    EXPECT_EQ(table().entry(27), table().text(msgManualText, languageEnglish));
    for (int id = 0; id < messageCount; ++id) {
        for (int language = 0; language < languageCount; ++language) {
            const auto& text = table().text(static_cast<MessageId>(id), language);
            EXPECT_FALSE(text.empty()) << "id " << id << " language " << language;
            EXPECT_EQ(&text, &table().entry(2 * id + language));
        }
    }
}

TEST(StringTable, ManualsHaveTheirExactShape) {
    struct Expected {
        int language;
        size_t length;
    };
    for (const auto [language, length] :
         {Expected{languageRussian, 1308}, Expected{languageEnglish, 1403}}) {
        const auto& manual = table().text(msgManualText, language);
        SCOPED_TRACE(language);
        EXPECT_EQ(manual.size(), length);
        EXPECT_NE(manual.front(), L'\n');
        EXPECT_NE(manual.back(), L'\n');
        EXPECT_EQ(manual.find(L'\r'), std::wstring::npos);
        EXPECT_EQ(manual.find(L'\t'), std::wstring::npos);
        EXPECT_EQ(manual.find(L'\u00A0'), std::wstring::npos);

        const auto all = lines(manual);
        ASSERT_EQ(all.size(), 18u);
        EXPECT_EQ(all[2].back(), L' ') << "line 3 keeps its trailing space";
        EXPECT_EQ(all[2][all[2].size() - 2], L'"');
        for (size_t i = 0; i < all.size(); ++i) {
            // Sub-items ("1.1.") are indented by exactly two spaces; top items not at all.
            const bool subItem = all[i].size() > 6 && all[i][0] == L' ' && all[i][1] == L' ' &&
                                 iswdigit(all[i][2]) && all[i][3] == L'.' && iswdigit(all[i][4]);
            const bool topItem = iswdigit(all[i][0]) && all[i][1] == L'.';
            EXPECT_TRUE(subItem || topItem) << "line " << i + 1;
            if (subItem) {
                EXPECT_NE(all[i][2], L' ');
            }
        }
    }
}

TEST(StringTable, TextsThatDifferOnlySubtly) {
    EXPECT_EQ(table().text(msgInstallBtn, languageEnglish), L"Widget Install");
    EXPECT_NE(table().text(msgPrompt, languageEnglish).find(L"\"Install Widget\""),
              std::wstring::npos);
    EXPECT_EQ(table().text(msgInstallBtn, languageRussian), L"Установить Виджет");
    EXPECT_EQ(table().text(msgInstallGroup, languageRussian), L"Установка Виджета");
    EXPECT_EQ(table().text(msgPrompt, languageRussian),
              L"Введите IP вашего ТВ, Выберите его серию, Нажмите \"Установить виджет\"");
    EXPECT_EQ(table().text(msgPcIp, languageRussian), L"IP Адрес ПК");
    EXPECT_EQ(table().text(msgBadTvIp, languageEnglish),
              L"IP Address TV is not set or has the wrong format.");
    EXPECT_EQ(table().text(msgInstallFailed, languageRussian),
              L"При установке виджета произошли ошибки. Установка не выполнена.");
    EXPECT_EQ(table().text(msgInstallFailed, languageEnglish),
              L"There were errors while installing the widget. Installation failed.");
}

TEST(StringTable, ManualsNameTheWindowsOwnTexts) {
    const auto& ru = table().text(msgManualText, languageRussian);
    const auto& en = table().text(msgManualText, languageEnglish);
    EXPECT_NE(ru.find(L'"' + table().text(msgPcIp, languageRussian) + L'"'), std::wstring::npos);
    EXPECT_NE(ru.find(L'"' + table().text(msgTvIp, languageRussian) + L'"'), std::wstring::npos);
    EXPECT_NE(ru.find(L'"' + table().text(msgInstallBtn, languageRussian) + L'"'),
              std::wstring::npos);
    EXPECT_NE(en.find(L'"' + table().text(msgPcIp, languageEnglish) + L'"'), std::wstring::npos);
    EXPECT_NE(en.find(L'"' + table().text(msgTvIp, languageEnglish) + L'"'), std::wstring::npos);
    EXPECT_NE(en.find(L"\"Install widget\""), std::wstring::npos);
}

}  // namespace
