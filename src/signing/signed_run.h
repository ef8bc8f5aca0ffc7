#pragma once
// The pieces of a signed run that are not the window's: its extra command lines and logs, its
// share of the progress, and what its logs and the TV's refusals say.
#include <optional>
#include <string>

#include "platform/files.h"

struct OwnerProfile;

inline constexpr const wchar_t* duidLogFile = L"doLog\\duid.txt";
inline constexpr const wchar_t* profileLogFile = L"doLog\\profile.txt";
inline constexpr const wchar_t* uninstallLogFile = L"doLog\\uninstall.txt";
inline constexpr const wchar_t* signedRunLogs[] = {duidLogFile, profileLogFile, uninstallLogFile};
// The device profile, copied into the current folder (where the commands run) under a name any
// code page spells: the tool cannot open a path its code page cannot spell.
inline constexpr const wchar_t* deviceProfileCopy = L"device-profile.xml";
inline constexpr const wchar_t* deviceProfileOnTv = L"/home/developer/device-profile.xml";

// Progress weights of the extra steps, beside the eleven commands' 98 points.
inline constexpr int duidWeight = 6;
inline constexpr int signWeight = 6;
inline constexpr int profilePushWeight = 4;
int signedRunWeight(const OwnerProfile& profile);

// A signed run that stops before anything is pushed, with the text that says why.
struct SignedRunStop {
    std::wstring text;
};

std::wstring getDuidLine();
std::wstring pushDeviceProfileLine();
// Uninstalls by the package's own application id (letters, digits and a dot).
std::wstring uninstallLine(const std::wstring& applicationId);

// The install log says another author's copy is installed (-11).
bool otherAuthorsCopy(platform::FileSystem& files);
// The telling line is a 2023+ set's refusal of a package not signed for it (-3).
bool refusedAsUnsigned(const std::wstring& tellingLine);

// The cause of a certificate refusal (-3 to -7) of a signed package, and what to do; for an
// unsigned run, only the codes the window's own causes do not tell apart (-4, -5, -6).
std::optional<std::wstring> certificateRefusalCause(const std::wstring& tellingLine,
                                                    const std::wstring& profileFolder,
                                                    int language);
