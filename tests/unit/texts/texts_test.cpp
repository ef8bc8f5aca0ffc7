#include "src/texts/texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>
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

// The placeholders a text carries, "%1" to "%9", each once.
std::set<wchar_t> placeholders(std::wstring_view text) {
    std::set<wchar_t> found;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'%' && text[i + 1] >= L'1' && text[i + 1] <= L'9')
            found.insert(text[i + 1]);
    }
    return found;
}

TEST(Texts, EveryRowIsFoundByItsIdAndItsLanguagesFillInTheSameValues) {
    ASSERT_EQ(textRows().size(), static_cast<size_t>(textCount));
    for (const auto& row : textRows()) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(text(row.id, Language::russian), row.russian);
        EXPECT_EQ(text(row.id, Language::english), row.english);
        EXPECT_FALSE(std::wstring_view(row.russian).empty());
        EXPECT_FALSE(std::wstring_view(row.english).empty());
        // A shifted or mistranslated row would name another value in one language.
        EXPECT_EQ(placeholders(row.russian), placeholders(row.english));
    }
}

TEST(Texts, FillInReplacesEachPlaceholderOnceAndLeavesTheRest) {
    EXPECT_EQ(fillIn(L"%2 of %1, %2 again; %3 and %USERPROFILE% stay", {L"a", L"b"}),
              L"b of a, b again; %3 and %USERPROFILE% stay");
    // A value that holds a placeholder is not scanned again.
    EXPECT_EQ(fillIn(L"%1 and %2", {L"%2", L"x"}), L"%2 and x");
    EXPECT_EQ(fillIn(L"ends with %", {L"a"}), L"ends with %");
}

TEST(Texts, ManualsHaveTheirExactShape) {
    struct Expected {
        Language language;
        size_t length;
    };
    for (const auto [language, length] :
         {Expected{Language::russian, 1308}, Expected{Language::english, 1403}}) {
        const auto& manual = text(msgManualText, language);
        SCOPED_TRACE(language == Language::russian ? "Russian" : "English");
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

TEST(Texts, TextsThatDifferOnlySubtly) {
    EXPECT_EQ(text(msgInstallBtn, Language::english), L"Widget Install");
    EXPECT_NE(text(msgPrompt, Language::english).find(L"\"Install Widget\""), std::wstring::npos);
    EXPECT_EQ(text(msgInstallBtn, Language::russian), L"Установить Виджет");
    EXPECT_EQ(text(msgInstallGroup, Language::russian), L"Установка Виджета");
    EXPECT_EQ(text(msgPrompt, Language::russian),
              L"Введите IP вашего ТВ, Выберите его серию, Нажмите \"Установить виджет\"");
    EXPECT_EQ(text(msgPcIp, Language::russian), L"IP Адрес ПК");
    EXPECT_EQ(text(msgBadTvIp, Language::english),
              L"IP Address TV is not set or has the wrong format.");
    EXPECT_EQ(text(msgInstallFailed, Language::russian),
              L"При установке виджета произошли ошибки. Установка не выполнена.");
    EXPECT_EQ(text(msgInstallFailed, Language::english),
              L"There were errors while installing the widget. Installation failed.");
}

TEST(Texts, ManualsNameTheWindowsOwnTexts) {
    const auto& ru = text(msgManualText, Language::russian);
    const auto& en = text(msgManualText, Language::english);
    EXPECT_NE(ru.find(L'"' + text(msgPcIp, Language::russian) + L'"'), std::wstring::npos);
    EXPECT_NE(ru.find(L'"' + text(msgTvIp, Language::russian) + L'"'), std::wstring::npos);
    EXPECT_NE(ru.find(L'"' + text(msgInstallBtn, Language::russian) + L'"'), std::wstring::npos);
    EXPECT_NE(en.find(L'"' + text(msgPcIp, Language::english) + L'"'), std::wstring::npos);
    EXPECT_NE(en.find(L'"' + text(msgTvIp, Language::english) + L'"'), std::wstring::npos);
    EXPECT_NE(en.find(L"\"Install widget\""), std::wstring::npos);
}

}  // namespace
