#pragma once
// Every text of the window that changes with the display language, in Russian and English.
// Built once during static initialisation, before the window exists, and only read afterwards.
#include <array>
#include <initializer_list>
#include <string>
#include <string_view>

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
    // The payload file %1 could not be written because another program holds it.
    msgFileHeld,
    // The payload file %1 could not be written for any other reason.
    msgFileNotWritable,
    // The install log %1 gives nothing to go on.
    msgLogMissing,
    msgLogEmpty,
    msgLogUnrecognised,
    // The check of the TV before a run. %1 is always the TV's address.
    msgCheckingTv,
    msgVerdictStandby,
    msgVerdictDeveloperOff,
    msgVerdictNotActive,
    msgVerdictReversed,   // %2 the Host PC IP it holds, %3 this PC's address it reverses
    msgVerdictLoopback,   // %2 this PC's addresses
    msgVerdictOtherHost,  // %2 the Host PC IP it holds, %3 this PC's addresses
    msgVerdictNothing,
    msgInstallAnyway,
    msgNoAddresses,  // stands for this PC's addresses when it has none
    // Why a run failed, from the logs. %1 is the TV's address where one is named.
    msgCauseNoConnection,
    msgCauseDropped,
    msgCauseTwoTargets,
    msgCauseWrongSeriesYear,  // %1 the model year, %2 the series that fits it
    msgCauseWrongSeries,
    msgCauseCertificateNew,  // %1 the model year
    msgCauseCertificate,
    msgCauseClock,
    msgCauseAuthor,
    msgCauseTizenTooOld,
    msgCauseNotPermitted,
    // How a TV found on the network is shown in the address box's list.
    msgFoundReady,
    msgFoundStandby,
    msgFoundDeveloperOff,
    msgFoundNotActive,
    msgFoundReversed,  // %1 the Host PC IP it holds
    msgFoundLoopback,
    msgFoundOtherHost,  // %1 the Host PC IP it holds
    msgFoundNotTv,
    // Why a run failed, continued.
    msgCauseCertificateExpired,
    // The bridge tool cannot spell the path of the current folder %1, and has no other place.
    msgFolderUnspellable,
    // The bridge tool could not start its server (a path it cannot spell).
    msgCauseServerNotStarted,
    // iu.exe was removed or blocked after it was written, in the folder %1.
    msgCauseToolBlocked,
    // What is wrong with the owner's certificate profile. %1 is the file concerned.
    msgProfileFileMissing,
    msgProfileWrongPassword,
    msgProfileNoPassword,
    msgProfileNotKeyFile,
    msgProfileSwapped,
    msgProfileExpired,        // %2 valid from, %3 valid until
    msgProfileNotYetValid,    // %2 valid from, %3 valid until
    msgProfileDuidNotListed,  // %1 the TV's DUID, %2 the DUIDs the profile lists
    msgProfileNoDuids,        // stands for %2 when the profile lists none
};
inline constexpr int messageCount = msgProfileNoDuids + 1;

// Language index: the selected item of the language radio group.
inline constexpr int languageRussian = 0;
inline constexpr int languageEnglish = 1;
inline constexpr int languageCount = 2;

// The text with "%1", "%2", ... replaced by the values in order.
std::wstring fillIn(std::wstring text, std::initializer_list<std::wstring_view> values);

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
