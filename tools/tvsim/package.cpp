#include "tools/tvsim/package.h"

#include <openssl/evp.h>
#include <zip.h>

#include <memory>
#include <optional>
#include <vector>

#include "tools/tvsim/xml_scan.h"

namespace tvsim {

namespace {

struct ZipCloser {
    void operator()(zip_t* archive) const noexcept { zip_discard(archive); }
};
struct ZipFileCloser {
    void operator()(zip_file_t* file) const noexcept { zip_fclose(file); }
};

// The members the check reads (config.xml, signatures, signed files) are small on any real
// package. A zip directory may claim any size: only what really comes out counts, up to this,
// and a member whose bytes differ from its claimed size makes the archive broken.
constexpr std::size_t kMaxMemberSize = 16 * 1024 * 1024;

std::optional<std::string> readMember(zip_t* archive, const std::string& name) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen(archive, name.c_str(), 0));
    if (!file || zip_stat(archive, name.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
        return std::nullopt;
    }
    std::string bytes;
    char piece[64 * 1024];
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), piece, sizeof piece);
        if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > kMaxMemberSize) {
            return std::nullopt;  // corrupt or truncated, or far larger than any real member
        }
        if (got == 0) {
            break;
        }
        bytes.append(piece, static_cast<std::size_t>(got));
    }
    if (bytes.size() != stat.size) {
        return std::nullopt;
    }
    return bytes;
}

struct Reference {
    std::string uri;
    std::string digest;
};

std::vector<Reference> referencesOf(std::string_view xml) {
    std::vector<Reference> refs;
    for (std::size_t at = findTag(xml, "Reference", 0, false); at != std::string_view::npos;
         at = findTag(xml, "Reference", at + 1, false)) {
        const std::size_t tagEnd = xml.find('>', at);
        if (tagEnd == std::string_view::npos) {
            break;
        }
        Reference ref;
        ref.uri = attributeInTag(xml.substr(at, tagEnd - at), "URI");
        const std::size_t close = findTag(xml, "Reference", tagEnd, true);
        if (close != std::string_view::npos) {
            std::string digest =
                textOf(xml.substr(tagEnd + 1, close - tagEnd - 1), "DigestValue").value_or("");
            std::erase_if(digest, [](char c) { return c == ' ' || c == '\r' || c == '\n'; });
            ref.digest = digest;
        }
        refs.push_back(std::move(ref));
    }
    return refs;
}

}  // namespace

std::string base64Sha256(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    std::string out(4 * ((length + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), digest,
                                        static_cast<int>(length));
    out.resize(static_cast<std::size_t>(written));
    return out;
}

namespace {

using Archive = std::unique_ptr<zip_t, ZipCloser>;

// Opens the package and reads its ids from config.xml; a null archive when it is broken.
Archive openPackage(const std::filesystem::path& file, PackageInfo& info) {
    int error = 0;
    Archive archive(zip_open(file.c_str(), ZIP_RDONLY, &error));
    if (!archive) {
        info.reason = "not a zip archive";
        return nullptr;
    }
    const auto config = readMember(archive.get(), "config.xml");
    if (!config) {
        info.reason = "config.xml missing or unreadable";
        return nullptr;
    }
    info.appId = attributeOf(*config, "application", "id");
    info.packageId = attributeOf(*config, "application", "package");
    info.name = textOf(*config, "name").value_or("");
    if (info.appId.empty() || info.packageId.empty()) {
        info.reason = "config.xml declares no application id and package";
        return nullptr;
    }
    if (info.name.empty()) {
        info.name = info.appId;
    }
    return archive;
}

// Every file of the package (directories left out), or nothing when one cannot be read whole.
std::optional<Members> readMembers(zip_t* archive) {
    constexpr zip_int64_t kMaxMembers = 10000;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0 || count > kMaxMembers) {
        return std::nullopt;
    }
    Members members;
    std::size_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (!name) {
            return std::nullopt;
        }
        const std::string member(name);
        if (member.empty() || member.back() == '/') {
            continue;
        }
        auto bytes = readMember(archive, member);
        total += bytes ? bytes->size() : 0;
        if (!bytes || total > 16 * kMaxMemberSize) {
            return std::nullopt;
        }
        members.emplace(member, std::move(*bytes));
    }
    return members;
}

}  // namespace

PackageInfo inspectPackage(const std::filesystem::path& file) {
    PackageInfo info;
    const Archive archive = openPackage(file, info);
    if (!archive) {
        return info;
    }
    info.verdict = PackageInfo::Verdict::kBadSignature;
    for (const char* signatureFile : {"author-signature.xml", "signature1.xml"}) {
        const auto signature = readMember(archive.get(), signatureFile);
        if (!signature) {
            info.reason = std::string(signatureFile) + " missing or unreadable";
            return info;
        }
        bool coversConfig = false;
        for (const Reference& ref : referencesOf(*signature)) {
            if (ref.uri.empty() || ref.uri[0] == '#') {
                continue;  // same-document references (signature properties) name no member
            }
            const std::string member = percentDecode(ref.uri);
            const auto bytes = readMember(archive.get(), member);
            if (!bytes) {
                info.reason = std::string(signatureFile) + " signs a missing member " + member;
                return info;
            }
            if (ref.digest != base64Sha256(*bytes)) {
                info.reason = std::string(signatureFile) + ": digest mismatch for " + member;
                return info;
            }
            coversConfig = coversConfig || member == "config.xml";
        }
        if (!coversConfig) {
            info.reason = std::string(signatureFile) + " does not sign config.xml";
            return info;
        }
    }
    info.verdict = PackageInfo::Verdict::kOk;
    return info;
}

PackageInfo inspectSignedPackage(const std::filesystem::path& file, const TrustSettings& trust) {
    PackageInfo info;
    const Archive archive = openPackage(file, info);
    if (!archive) {
        return info;
    }
    const auto members = readMembers(archive.get());
    if (!members) {
        info.reason = "a member cannot be read whole";
        return info;
    }
    const SignatureVerdict verdict = verifySignatures(*members, trust);
    info.verdict =
        verdict.code == 0 ? PackageInfo::Verdict::kOk : PackageInfo::Verdict::kBadSignature;
    info.certificateError = verdict.code;
    info.reason = verdict.reason;
    info.authorFingerprint = verdict.authorFingerprint;
    return info;
}

}  // namespace tvsim
