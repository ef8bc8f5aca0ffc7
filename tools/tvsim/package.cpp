#include "tools/tvsim/package.h"

#include <openssl/evp.h>
#include <zip.h>

#include <memory>
#include <optional>
#include <vector>

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

bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
}

// Start of the next tag at or after `from` whose local name (prefix dropped) is `element`;
// `closing` looks for "</element>" instead.
std::size_t findTag(std::string_view xml, std::string_view element, std::size_t from,
                    bool closing) {
    for (std::size_t at = xml.find('<', from); at != std::string_view::npos;
         at = xml.find('<', at + 1)) {
        std::size_t begin = at + 1;
        if (closing) {
            if (begin >= xml.size() || xml[begin] != '/') {
                continue;
            }
            ++begin;
        }
        std::size_t end = begin;
        while (end < xml.size() && isNameChar(xml[end])) {
            ++end;
        }
        std::string_view name = xml.substr(begin, end - begin);
        if (const auto colon = name.rfind(':'); colon != std::string_view::npos) {
            name.remove_prefix(colon + 1);
        }
        if (name == element && end < xml.size() &&
            (xml[end] == '>' || xml[end] == '/' || xml[end] == ' ' || xml[end] == '\t' ||
             xml[end] == '\r' || xml[end] == '\n')) {
            return at;
        }
    }
    return std::string_view::npos;
}

std::string attributeInTag(std::string_view tag, std::string_view name) {
    for (std::size_t at = tag.find(name); at != std::string_view::npos;
         at = tag.find(name, at + 1)) {
        // Whole attribute name only: "id" must not match "appid" or "id2".
        if (at == 0 || isNameChar(tag[at - 1])) {
            continue;
        }
        std::size_t i = at + name.size();
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n')) {
            ++i;
        }
        if (i >= tag.size() || tag[i] != '=') {
            continue;
        }
        ++i;
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n')) {
            ++i;
        }
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) {
            continue;
        }
        const std::size_t close = tag.find(tag[i], i + 1);
        if (close == std::string_view::npos) {
            return {};
        }
        return std::string(tag.substr(i + 1, close - i - 1));
    }
    return {};
}

// Text of the first element named `element` inside `xml`, surrounding white space removed.
std::optional<std::string> textOf(std::string_view xml, std::string_view element) {
    const std::size_t open = findTag(xml, element, 0, false);
    if (open == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t openEnd = xml.find('>', open);
    const std::size_t close = findTag(xml, element, openEnd, true);
    if (openEnd == std::string_view::npos || close == std::string_view::npos) {
        return std::nullopt;
    }
    std::string text(xml.substr(openEnd + 1, close - openEnd - 1));
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
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

std::string attributeOf(std::string_view xml, std::string_view element, std::string_view name) {
    const std::size_t at = findTag(xml, element, 0, false);
    if (at == std::string_view::npos) {
        return {};
    }
    const std::size_t end = xml.find('>', at);
    return attributeInTag(xml.substr(at, end == std::string_view::npos ? end : end - at), name);
}

std::string percentDecode(std::string_view uri) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
            out += static_cast<char>(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

PackageInfo inspectPackage(const std::filesystem::path& file) {
    PackageInfo info;
    int error = 0;
    std::unique_ptr<zip_t, ZipCloser> archive(zip_open(file.c_str(), ZIP_RDONLY, &error));
    if (!archive) {
        info.reason = "not a zip archive";
        return info;
    }
    const auto config = readMember(archive.get(), "config.xml");
    if (!config) {
        info.reason = "config.xml missing or unreadable";
        return info;
    }
    info.appId = attributeOf(*config, "application", "id");
    info.packageId = attributeOf(*config, "application", "package");
    info.name = textOf(*config, "name").value_or("");
    if (info.appId.empty() || info.packageId.empty()) {
        info.reason = "config.xml declares no application id and package";
        return info;
    }
    if (info.name.empty()) {
        info.name = info.appId;
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

}  // namespace tvsim
