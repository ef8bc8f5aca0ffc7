#pragma once
// Every text the program shows that changes with the display language, Russian and English side
// by side in one table (texts.cpp; the manual in manual.cpp). Placeholders "%1", "%2", ... are
// filled in by fillIn().
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

// The language the window shows: the selected item of its language choice ("РУС", "ENG").
enum class Language { russian, english };
inline constexpr Language languages[] = {Language::russian, Language::english};

enum TextId : int {
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
    msgFoundSilent,  // a TV listed earlier that answers nothing now (off, or restarting)
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
    msgProfileFileTooLarge,
    msgProfileWrongPassword,
    msgProfileNoPassword,
    msgProfileNotKeyFile,
    msgProfileSwapped,
    msgProfileExpired,        // %2 valid from, %3 valid until
    msgProfileNotYetValid,    // %2 valid from, %3 valid until
    msgProfileDuidNotListed,  // %1 the TV's DUID, %2 the DUIDs the profile lists
    msgProfileNoDuids,        // stands for %2 when the profile lists none
    // The run for TVs that install only a widget signed with the owner's profile.
    // %1 the TV's address, %2 its model year.
    msgNeedsProfile,
    msgAfterRefusal,   // %1 the TV's address: a run ended with -3; choose and install again?
    msgUseRemembered,  // %1 the remembered folder; No chooses another
    msgChooseNow,      // no folder remembered: open the folder dialog?
    msgChooseFolder,   // the folder dialog's title
    msgPasswordTitle,
    msgPasswordIntro,  // %1 the folder
    msgAuthorPassword,
    msgDistributorPassword,
    msgOk,
    msgCancel,
    msgNoDuid,             // %1 the TV's address, %2 the log
    msgSigningFailed,      // %1 the reason
    msgProfilePushFailed,  // %1 the line the push printed
    msgOtherAuthor,        // -11: remove that copy and install?
    // Certificate refusals of a signed package, by their code.
    msgCauseNotForThisTv,  // -3 with a profile: %1 the folder
    msgCauseSignatureMismatch,
    msgCauseUnsignedFile,
    msgCauseNotYetValid,
    // Waiting for a TV that a restart or a few minutes make ready. In the status lines, %1 is
    // the time waited and %2 the longest wait (m:ss).
    msgWaitOffer,  // the question's line offering the wait
    msgWaitRestart,
    msgWaitDeveloperOff,
    msgWaitRestart2025,  // a 2025 or later set
    msgWaitStandby,
    msgWaitNothing,  // %3 the TV's address
    msgWaitGaveUp,   // %1 the longest wait: what the TV last said follows
    // Refusals of the install command, named.
    msgCauseNoRoom,
    msgCausePartnerPrivilege,
    textCount,
};

struct TextRow {
    TextId id;
    const wchar_t* russian;
    const wchar_t* english;
};

// The table's rows, in the order of their ids.
std::span<const TextRow> textRows();

// The text of an id in a language.
const std::wstring& text(TextId id, Language language);

// The text with "%1", "%2", ... replaced by the values in order.
std::wstring fillIn(std::wstring text, std::initializer_list<std::wstring_view> values);
