#pragma once
// The owner's Samsung certificate profile as a signed run uses it: its files read with bounds,
// the checks that need no TV (files, passwords, key files, dates by this PC's clock, swapped
// files), and whether it lists a TV's DUID.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/crypto.h"
#include "platform/files.h"
#include "platform/profile_dialogs.h"
#include "src/signing_texts.h"

// Real key files are a few kilobytes; anything beyond this is no key file.
inline constexpr std::size_t maxProfileFileBytes = 1u << 20;

struct OwnerProfile {
    std::wstring folder;
    std::vector<unsigned char> author;
    std::vector<unsigned char> distributor;
    std::optional<std::string> deviceProfile;  // device-profile.xml, when the profile has one
    platform::ProfilePasswords passwords;
    std::vector<std::wstring> distributorUris;  // read by the check
};

// What is wrong, as a text of the signing table and the values it names.
struct ProfileProblem {
    SigningText text;
    std::vector<std::wstring> values;
};
std::wstring problemText(const ProfileProblem& problem, int language);

// Reads author.p12, distributor.p12 and device-profile.xml from the folder.
std::optional<ProfileProblem> readProfileFiles(platform::FileSystem& files, OwnerProfile& profile);

// Opens each key file with its password, one at a time, and checks the certificates' dates
// against `now` and which file holds which certificate.
std::optional<ProfileProblem> checkProfile(platform::Crypto& crypto, OwnerProfile& profile,
                                           std::chrono::system_clock::time_point now);

// The DUID `shell 0 getduid` printed, or nothing when its output holds none.
std::optional<std::wstring> duidFromOutput(std::string_view output);

// Whether the distributor certificate or device-profile.xml lists the DUID.
bool profileListsDuid(const OwnerProfile& profile, const std::wstring& duid);

// Folders of `root` that hold an author.p12: the profiles the folder dialog offers first.
std::vector<std::wstring> profilesUnder(platform::FileSystem& files, const std::wstring& root);
