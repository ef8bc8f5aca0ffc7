#pragma once
// The owner's Samsung certificate profile (a folder with author.p12, distributor.p12 and perhaps
// device-profile.xml), checked before anything is pushed: the first thing that would make the TV
// refuse the signed widget, named with what to do about it.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/crypto.h"
#include "platform/files.h"
#include "src/texts/texts.h"

namespace widget {

// Bounds on the profile's files: real ones are a few kilobytes.
inline constexpr std::size_t maxKeyFileBytes = 1u << 20;
inline constexpr std::size_t maxDeviceProfileBytes = 1u << 20;

inline constexpr wchar_t authorFileName[] = L"author.p12";
inline constexpr wchar_t distributorFileName[] = L"distributor.p12";
inline constexpr wchar_t deviceProfileFileName[] = L"device-profile.xml";

// A profile folder's files as read: each up to one byte beyond its bound, so that the check can
// refuse an oversized one rather than use a cut copy; a file that is not there is not present.
struct ProfileFiles {
    std::wstring folder;
    std::optional<std::string> author;
    std::optional<std::string> distributor;
    std::optional<std::string> deviceProfile;
};
ProfileFiles readProfile(platform::FileSystem& files, const std::wstring& folder);

// The folders directly under `root` that hold both key files, sorted by name.
std::vector<std::wstring> findProfiles(platform::FileSystem& files, const std::wstring& root);

enum class ProfileProblemKind {
    fileMissing,    // `file` is not in the folder
    fileTooLarge,   // `file` is larger than any real one: it was read only in part
    wrongPassword,  // the password typed for `file` does not open it (`emptyPassword`: none typed)
    notKeyFile,     // `file` is not a PKCS#12 holding a key and its certificate
    swapped,        // `file` holds the other role's certificate
    expired,        // a certificate of `file` ended at `notAfter`
    notYetValid,    // a certificate of `file` starts at `notBefore`
    duidNotListed,  // neither the distributor certificate nor device-profile.xml lists `duid`
};

struct ProfileProblem {
    ProfileProblemKind kind;
    std::wstring file;  // the full name of the file concerned
    bool emptyPassword = false;
    std::chrono::system_clock::time_point notBefore{};
    std::chrono::system_clock::time_point notAfter{};
    std::wstring duid{};
    std::vector<std::wstring> listedDuids{};  // what the profile does list
};

// The DUIDs a profile lists: the distributor certificate's URN:tizen:deviceid= URIs and
// device-profile.xml's <TestDevice> entries.
std::vector<std::wstring> deviceIdsOf(const platform::Certificate& distributor);
std::vector<std::wstring> deviceIdsOf(const std::string& deviceProfileXml);

// The certificates of both key files as a check read them (no key, nothing secret), so that the
// check once the TV's DUID is known need not open the files again.
struct ProfileCertificates {
    std::vector<platform::Certificate> author;
    std::vector<platform::Certificate> distributor;
};

// The first problem of the profile, or nothing when the TV should take a widget signed with it.
// `now` is this PC's clock; without a `duid` (the TV not reached yet) the DUID is not checked.
// Opens one key file at a time and closes it before the next; once both opened, their
// certificates go to `read` when given.
std::optional<ProfileProblem> checkProfile(const ProfileFiles& profile, platform::Crypto& crypto,
                                           const platform::Secret& authorPassword,
                                           const platform::Secret& distributorPassword,
                                           std::chrono::system_clock::time_point now,
                                           const std::optional<std::wstring>& duid,
                                           ProfileCertificates* read = nullptr);
// The same checks over the certificates an earlier check of this profile read: the files'
// sizes, the roles, the dates at `now` and the DUID.
std::optional<ProfileProblem> checkProfile(const ProfileFiles& profile,
                                           const ProfileCertificates& certificates,
                                           std::chrono::system_clock::time_point now,
                                           const std::optional<std::wstring>& duid);

// The problem in the window's language: what is wrong and what to do.
std::wstring profileProblemText(const ProfileProblem& problem, Language language);

}  // namespace widget
