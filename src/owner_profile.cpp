#include "src/owner_profile.h"

#include <cctype>
#include <ctime>
#include <cwchar>
#include <variant>

namespace {

constexpr const wchar_t* authorFile = L"author.p12";
constexpr const wchar_t* distributorFile = L"distributor.p12";
constexpr const wchar_t* deviceProfileFile = L"device-profile.xml";
constexpr const wchar_t* distributorName = L"TizenSDK";

std::wstring inFolder(const std::wstring& folder, const wchar_t* name) {
    if (folder.empty() || folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

// Nothing when the file is missing or too large to be what it claims.
std::optional<std::string> readBounded(platform::FileSystem& files, const std::wstring& name) {
    auto bytes = files.readFile(name, maxProfileFileBytes + 1);
    if (bytes && bytes->size() > maxProfileFileBytes)
        bytes->clear();
    return bytes;
}

std::wstring day(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &seconds);
#else
    gmtime_r(&seconds, &parts);
#endif
    wchar_t text[32];
    std::wcsftime(text, 32, L"%Y-%m-%d", &parts);
    return text;
}

// The key file's own certificate, read while the file is open; the key is closed again at once.
std::variant<platform::Certificate, platform::KeyFileProblem> openOnce(
    platform::Crypto& crypto, const std::vector<unsigned char>& file,
    const platform::Secret& password) {
    try {
        const auto key = crypto.openKeyFile(file, password);
        if (key->chain().empty())
            return platform::KeyFileProblem::noCertificate;
        return key->chain().front();
    } catch (const platform::KeyFileError& e) {
        return e.problem();
    }
}

ProfileProblem keyProblem(platform::KeyFileProblem problem, const std::wstring& file) {
    switch (problem) {
        case platform::KeyFileProblem::wrongPassword:
            return {sgnWrongPassword, {file}};
        case platform::KeyFileProblem::noKey:
            return {sgnNoKey, {file}};
        case platform::KeyFileProblem::noCertificate:
            return {sgnNoCertificate, {file}};
        case platform::KeyFileProblem::notPkcs12:
            break;
    }
    return {sgnNotPkcs12, {file}};
}

std::optional<ProfileProblem> datesProblem(const platform::Certificate& certificate,
                                           const std::wstring& file,
                                           std::chrono::system_clock::time_point now) {
    if (now > certificate.notAfter)
        return ProfileProblem{sgnExpired, {file, day(certificate.notAfter)}};
    if (now < certificate.notBefore)
        return ProfileProblem{sgnNotYetValid, {file, day(certificate.notBefore)}};
    return std::nullopt;
}

bool isDuidCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
           c == '_';
}

}  // namespace

std::wstring problemText(const ProfileProblem& problem, int language) {
    std::wstring text = signingText(problem.text, language);
    for (size_t i = 0; i < problem.values.size(); ++i) {
        const std::wstring mark = L"%" + std::to_wstring(i + 1);
        for (auto at = text.find(mark); at != std::wstring::npos;
             at = text.find(mark, at + problem.values[i].size())) {
            text.replace(at, mark.size(), problem.values[i]);
        }
    }
    return text;
}

std::optional<ProfileProblem> readProfileFiles(platform::FileSystem& files, OwnerProfile& profile) {
    for (auto [name, bytes] : {std::pair{authorFile, &profile.author},
                               std::pair{distributorFile, &profile.distributor}}) {
        const auto path = inFolder(profile.folder, name);
        const auto read = readBounded(files, path);
        if (!read)
            return ProfileProblem{sgnMissingFile, {path}};
        bytes->assign(read->begin(), read->end());
    }
    profile.deviceProfile = readBounded(files, inFolder(profile.folder, deviceProfileFile));
    return std::nullopt;
}

std::optional<ProfileProblem> checkProfile(platform::Crypto& crypto, OwnerProfile& profile,
                                           std::chrono::system_clock::time_point now) {
    const auto authorPath = inFolder(profile.folder, authorFile);
    const auto distributorPath = inFolder(profile.folder, distributorFile);
    const auto& passwords = profile.passwords;
    const bool samePasswords = std::wstring_view(passwords.author.c_str()) ==
                               std::wstring_view(passwords.distributor.c_str());
    const auto author = openOnce(crypto, profile.author, passwords.author);
    if (const auto* problem = std::get_if<platform::KeyFileProblem>(&author)) {
        // Swapped files with different passwords: author.p12 opens with the distributor's and
        // holds the distributor certificate.
        if (*problem == platform::KeyFileProblem::wrongPassword && !samePasswords) {
            const auto other = openOnce(crypto, profile.author, passwords.distributor);
            const auto* certificate = std::get_if<platform::Certificate>(&other);
            if (certificate != nullptr && certificate->subjectCommonName == distributorName)
                return ProfileProblem{sgnSwapped, {profile.folder}};
        }
        return keyProblem(*problem, authorPath);
    }
    const auto distributor = openOnce(crypto, profile.distributor, passwords.distributor);
    if (const auto* problem = std::get_if<platform::KeyFileProblem>(&distributor))
        return keyProblem(*problem, distributorPath);
    const auto& authorCertificate = std::get<platform::Certificate>(author);
    const auto& distributorCertificate = std::get<platform::Certificate>(distributor);
    if (authorCertificate.subjectCommonName == distributorName &&
        distributorCertificate.subjectCommonName != distributorName) {
        return ProfileProblem{sgnSwapped, {profile.folder}};
    }
    if (auto problem = datesProblem(authorCertificate, authorPath, now))
        return problem;
    if (auto problem = datesProblem(distributorCertificate, distributorPath, now))
        return problem;
    profile.distributorUris = distributorCertificate.uris;
    return std::nullopt;
}

std::optional<std::wstring> duidFromOutput(std::string_view output) {
    // The first line with any text; a DUID is one word of letters and digits.
    size_t start = output.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return std::nullopt;
    size_t end = output.find_first_of("\r\n", start);
    auto line = output.substr(start, end == std::string_view::npos ? end : end - start);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    if (line.size() < 4 || line.size() > 64)
        return std::nullopt;
    for (char c : line) {
        if (!isDuidCharacter(c))
            return std::nullopt;
    }
    return std::wstring(line.begin(), line.end());
}

bool profileListsDuid(const OwnerProfile& profile, const std::wstring& duid) {
    const std::wstring wanted = L"URN:tizen:deviceid=" + duid;
    for (const auto& uri : profile.distributorUris) {
        if (uri == wanted)
            return true;
    }
    if (!profile.deviceProfile)
        return false;
    const std::string narrow(duid.begin(), duid.end());
    const std::string_view text = *profile.deviceProfile;
    const std::string open = "<TestDevice>";
    const std::string close = "</TestDevice>";
    for (auto at = text.find(open); at != std::string_view::npos; at = text.find(open, at + 1)) {
        auto value = text.substr(at + open.size());
        value = value.substr(0, value.find(close));
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.front())))
            value.remove_prefix(1);
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
            value.remove_suffix(1);
        if (value == narrow)
            return true;
    }
    return false;
}

std::vector<std::wstring> profilesUnder(platform::FileSystem& files, const std::wstring& root) {
    std::vector<std::wstring> found;
    for (const auto& name : files.subdirectories(root)) {
        const auto folder = inFolder(root, name.c_str());
        if (files.fileExists(inFolder(folder, authorFile)))
            found.push_back(folder);
    }
    return found;
}
