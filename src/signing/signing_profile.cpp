#include "src/signing/signing_profile.h"

#include <algorithm>
#include <ctime>
#include <tuple>

#include "src/common/text_search.h"
#include "src/texts/texts.h"

namespace widget {

namespace {

std::wstring join(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') {
        return folder + name;
    }
    return folder + L"\\" + name;
}

// A file read with one byte beyond the bound, so that an oversized one shows as such.
std::optional<std::string> readBounded(platform::FileSystem& files, const std::wstring& name,
                                       std::size_t bound) {
    if (!files.fileExists(name)) {
        return std::nullopt;
    }
    return files.readFile(name, bound + 1);
}

// Samsung's distributor certificates are "TizenSDK", issued by a "VD DEVELOPER" or "Partner" CA;
// author certificates are issued by an "Author" CA.
bool looksDistributor(const platform::Certificate& c) {
    return c.subjectCommonName == L"TizenSDK" ||
           containsIgnoringCase(c.issuerCommonName, L"DEVELOPER") ||
           containsIgnoringCase(c.issuerCommonName, L"Partner");
}
bool looksAuthor(const platform::Certificate& c) {
    return containsIgnoringCase(c.issuerCommonName, L"Author");
}

std::wstring trim(std::wstring_view text) {
    auto space = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return std::wstring(text);
}

// One key file opened, its chain kept, the key closed again; or the problem it has.
struct Opened {
    std::vector<platform::Certificate> chain;
    std::optional<ProfileProblem> problem;
};
Opened open(platform::Crypto& crypto, const std::optional<std::string>& bytes,
            const std::wstring& file, const platform::Secret& password) {
    if (!bytes) {
        return {{}, ProfileProblem{ProfileProblemKind::fileMissing, file}};
    }
    try {
        auto key = crypto.openKeyFile(
            {reinterpret_cast<const unsigned char*>(bytes->data()), bytes->size()}, password);
        return {key->chain(), std::nullopt};
    } catch (const platform::KeyFileError& e) {
        if (e.problem() == platform::KeyFileProblem::wrongPassword) {
            ProfileProblem problem{ProfileProblemKind::wrongPassword, file};
            problem.emptyPassword = password.empty();
            return {{}, problem};
        }
        return {{}, ProfileProblem{ProfileProblemKind::notKeyFile, file}};
    }
}

// The first file read past its bound: a cut copy would drop the DUIDs beyond the cut and be
// pushed to the TV as it is.
std::optional<ProfileProblem> sizeProblem(const ProfileFiles& profile) {
    const std::tuple<const std::optional<std::string>&, const wchar_t*, std::size_t> files[] = {
        {profile.author, authorFileName, maxKeyFileBytes},
        {profile.distributor, distributorFileName, maxKeyFileBytes},
        {profile.deviceProfile, deviceProfileFileName, maxDeviceProfileBytes}};
    for (const auto& [bytes, name, bound] : files) {
        if (bytes && bytes->size() > bound) {
            return ProfileProblem{ProfileProblemKind::fileTooLarge, join(profile.folder, name)};
        }
    }
    return std::nullopt;
}

std::optional<ProfileProblem> datesProblem(const std::vector<platform::Certificate>& chain,
                                           const std::wstring& file,
                                           std::chrono::system_clock::time_point now) {
    for (const auto& c : chain) {
        if (now < c.notBefore || now > c.notAfter) {
            ProfileProblem problem{
                now < c.notBefore ? ProfileProblemKind::notYetValid : ProfileProblemKind::expired,
                file};
            problem.notBefore = c.notBefore;
            problem.notAfter = c.notAfter;
            return problem;
        }
    }
    return std::nullopt;
}

}  // namespace

ProfileFiles readProfile(platform::FileSystem& files, const std::wstring& folder) {
    return {folder, readBounded(files, join(folder, authorFileName), maxKeyFileBytes),
            readBounded(files, join(folder, distributorFileName), maxKeyFileBytes),
            readBounded(files, join(folder, deviceProfileFileName), maxDeviceProfileBytes)};
}

std::vector<std::wstring> findProfiles(platform::FileSystem& files, const std::wstring& root) {
    std::vector<std::wstring> found;
    for (const auto& name : files.listFolders(root)) {
        std::wstring folder = join(root, name);
        if (files.fileExists(join(folder, authorFileName)) &&
            files.fileExists(join(folder, distributorFileName))) {
            found.push_back(folder);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::wstring> deviceIdsOf(const platform::Certificate& distributor) {
    constexpr std::wstring_view prefix = L"URN:tizen:deviceid=";
    std::vector<std::wstring> ids;
    for (const auto& uri : distributor.uris) {
        if (uri.size() > prefix.size() &&
            containsIgnoringCase(uri.substr(0, prefix.size()), prefix)) {
            ids.push_back(uri.substr(prefix.size()));
        }
    }
    return ids;
}

std::vector<std::wstring> deviceIdsOf(const std::string& deviceProfileXml) {
    std::wstring xml = platform::fromUtf8(deviceProfileXml);
    std::vector<std::wstring> ids;
    constexpr std::wstring_view open = L"<TestDevice>", close = L"</TestDevice>";
    for (std::size_t at = 0; (at = xml.find(open, at)) != std::wstring::npos;) {
        std::size_t end = xml.find(close, at);
        if (end == std::wstring::npos) {
            break;
        }
        std::wstring id =
            trim(std::wstring_view(xml).substr(at + open.size(), end - at - open.size()));
        if (!id.empty()) {
            ids.push_back(id);
        }
        at = end + close.size();
    }
    return ids;
}

std::optional<ProfileProblem> checkProfile(const ProfileFiles& profile, platform::Crypto& crypto,
                                           const platform::Secret& authorPassword,
                                           const platform::Secret& distributorPassword,
                                           std::chrono::system_clock::time_point now,
                                           const std::optional<std::wstring>& duid,
                                           ProfileCertificates* read) {
    const std::wstring authorFile = join(profile.folder, authorFileName);
    const std::wstring distributorFile = join(profile.folder, distributorFileName);
    if (!profile.author) {
        return ProfileProblem{ProfileProblemKind::fileMissing, authorFile};
    }
    if (!profile.distributor) {
        return ProfileProblem{ProfileProblemKind::fileMissing, distributorFile};
    }
    if (auto problem = sizeProblem(profile)) {
        return problem;
    }
    Opened author = open(crypto, profile.author, authorFile, authorPassword);
    if (author.problem) {
        return author.problem;
    }
    Opened distributor = open(crypto, profile.distributor, distributorFile, distributorPassword);
    if (distributor.problem) {
        return distributor.problem;
    }
    ProfileCertificates certificates{std::move(author.chain), std::move(distributor.chain)};
    auto problem = checkProfile(profile, certificates, now, duid);
    if (read) {
        *read = std::move(certificates);
    }
    return problem;
}

std::optional<ProfileProblem> checkProfile(const ProfileFiles& profile,
                                           const ProfileCertificates& certificates,
                                           std::chrono::system_clock::time_point now,
                                           const std::optional<std::wstring>& duid) {
    const std::wstring authorFile = join(profile.folder, authorFileName);
    const std::wstring distributorFile = join(profile.folder, distributorFileName);
    if (auto problem = sizeProblem(profile)) {
        return problem;
    }
    if (certificates.author.empty() || certificates.distributor.empty()) {
        // Nothing read: a key file without its certificate.
        return ProfileProblem{ProfileProblemKind::notKeyFile,
                              certificates.author.empty() ? authorFile : distributorFile};
    }
    const platform::Certificate& authorCertificate = certificates.author.front();
    const platform::Certificate& distributorCertificate = certificates.distributor.front();
    if (looksDistributor(authorCertificate)) {
        return ProfileProblem{ProfileProblemKind::swapped, authorFile};
    }
    if (looksAuthor(distributorCertificate)) {
        return ProfileProblem{ProfileProblemKind::swapped, distributorFile};
    }
    if (auto problem = datesProblem(certificates.author, authorFile, now)) {
        return problem;
    }
    if (auto problem = datesProblem(certificates.distributor, distributorFile, now)) {
        return problem;
    }
    if (duid) {
        std::vector<std::wstring> listed = deviceIdsOf(distributorCertificate);
        if (profile.deviceProfile) {
            for (auto& id : deviceIdsOf(*profile.deviceProfile)) {
                if (std::find(listed.begin(), listed.end(), id) == listed.end()) {
                    listed.push_back(std::move(id));
                }
            }
        }
        const std::wstring tv = trim(*duid);  // as the TV printed it, line end and all
        if (std::find(listed.begin(), listed.end(), tv) == listed.end()) {
            ProfileProblem problem{ProfileProblemKind::duidNotListed, distributorFile};
            problem.duid = tv;
            problem.listedDuids = std::move(listed);
            return problem;
        }
    }
    return std::nullopt;
}

namespace {

// Certificates' times as both languages read them: "2026-12-09 16:30 UTC".
std::wstring utc(std::chrono::system_clock::time_point time) {
    std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &t);
#else
    gmtime_r(&t, &tm);
#endif
    wchar_t buffer[32];
    std::wcsftime(buffer, 32, L"%Y-%m-%d %H:%M UTC", &tm);
    return buffer;
}

}  // namespace

std::wstring profileProblemText(const ProfileProblem& problem, Language language) {
    auto say = [&](TextId id, std::initializer_list<std::wstring_view> values) {
        return fillIn(text(id, language), values);
    };
    switch (problem.kind) {
        case ProfileProblemKind::fileMissing:
            return say(msgProfileFileMissing, {problem.file});
        case ProfileProblemKind::fileTooLarge:
            return say(msgProfileFileTooLarge, {problem.file});
        case ProfileProblemKind::wrongPassword:
            return say(problem.emptyPassword ? msgProfileNoPassword : msgProfileWrongPassword,
                       {problem.file});
        case ProfileProblemKind::notKeyFile:
            return say(msgProfileNotKeyFile, {problem.file});
        case ProfileProblemKind::swapped:
            return say(msgProfileSwapped, {problem.file});
        case ProfileProblemKind::expired:
            return say(msgProfileExpired,
                       {problem.file, utc(problem.notBefore), utc(problem.notAfter)});
        case ProfileProblemKind::notYetValid:
            return say(msgProfileNotYetValid,
                       {problem.file, utc(problem.notBefore), utc(problem.notAfter)});
        case ProfileProblemKind::duidNotListed: {
            std::wstring listed;
            for (const auto& id : problem.listedDuids) {
                listed += (listed.empty() ? L"" : L", ") + id;
            }
            if (listed.empty()) {
                listed = text(msgProfileNoDuids, language);
            }
            return say(msgProfileDuidNotListed, {problem.duid, listed});
        }
    }
    return {};
}

}  // namespace widget
