#pragma once
// Every text of the window that changes with the display language, in Russian and English.
// Built once during static initialisation, before the window exists, and only read afterwards.
#include <array>
#include <string>

enum MessageId : int {
    msgInstalling = 0,
    msgLanguage,
    msgPcIp,
    msgIpNote,
    msgRefreshIp,
    msgTvSeries,
    msgInstallBtn,
    msgTvIp,
    msgInstallGroup,
    msgPrompt,
    msgInstallDone,
    msgBadTvIp,
    msgManualTitle,
    msgManualText,
    msgInstallFailed,
};
inline constexpr int messageCount = msgInstallFailed + 1;

// Language index: the selected item of the language radio group.
inline constexpr int languageRussian = 0;
inline constexpr int languageEnglish = 1;
inline constexpr int languageCount = 2;

class StringTable {
  public:
    StringTable();
    StringTable(const StringTable&) = delete;
    StringTable& operator=(const StringTable&) = delete;

    // The text of a message in a language (0 Russian, 1 English).
    const std::wstring& text(MessageId id, int language) const;
    // Entry by position: 2 * id + language.
    const std::wstring& entry(int index) const;
    static constexpr int size() { return messageCount * languageCount; }

    // The one table of the process.
    static const StringTable& instance();

  private:
    std::array<std::wstring, messageCount * languageCount> entries_;
};
