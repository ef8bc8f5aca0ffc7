#pragma once
// The texts of the run for TVs that install only a widget signed with the owner's Samsung
// certificate profile, in Russian and English. Kept apart from the window's main table, which
// other work changes at the same time.
#include <string>

enum SigningText : int {
    // %1 the TV's address, %2 its model year.
    sgnNeedsProfile,
    sgnAfterRefusal,   // %1 the TV's address: a run ended with -3; choose and install again?
    sgnUseRemembered,  // %1 the remembered folder; No chooses another
    sgnChooseNow,      // no folder remembered: open the folder dialog?
    sgnChooseFolder,   // the folder dialog's title
    sgnPasswordTitle,
    sgnPasswordIntro,  // %1 the folder
    sgnAuthorPassword,
    sgnDistributorPassword,
    sgnOk,
    sgnCancel,
    sgnNoDuid,             // %1 the TV's address, %2 the log
    sgnSigningFailed,      // %1 the reason
    sgnProfilePushFailed,  // %1 the line the push printed
    sgnOtherAuthor,        // -11: remove that copy and install?
    // Certificate refusals of a signed package, by their code.
    sgnCauseNotForThisTv,  // -3 with a profile: %1 the folder
    sgnCauseSignatureMismatch,
    sgnCauseUnsignedFile,
    sgnCauseNotYetValid,
    sgnTextCount,
};

// The text in a language (0 Russian, 1 English); fill in "%1"… with fillIn().
const std::wstring& signingText(SigningText id, int language);
