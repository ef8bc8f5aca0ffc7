#include "tools/tvsim/signature.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <variant>

#include "tools/tvsim/xml_scan.h"

namespace tvsim {

namespace {

constexpr std::string_view kDsig = "http://www.w3.org/2000/09/xmldsig#";
constexpr std::string_view kDeviceIdUri = "urn:tizen:deviceid=";

// One deleter for every OpenSSL object this file owns.
struct Free {
    void operator()(X509* p) const noexcept { X509_free(p); }
    void operator()(X509_STORE* p) const noexcept { X509_STORE_free(p); }
    void operator()(X509_STORE_CTX* p) const noexcept { X509_STORE_CTX_free(p); }
    void operator()(STACK_OF(X509) * p) const noexcept { sk_X509_pop_free(p, X509_free); }
    void operator()(BIO* p) const noexcept { BIO_free(p); }
    void operator()(EVP_MD_CTX* p) const noexcept { EVP_MD_CTX_free(p); }
    void operator()(GENERAL_NAMES* p) const noexcept { GENERAL_NAMES_free(p); }
};
template <class T>
using Owned = std::unique_ptr<T, Free>;
using Cert = Owned<X509>;

struct Failure {
    int code;
    std::string reason;
};

std::optional<std::string> base64Decode(std::string_view text) {
    std::string clean;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            clean += c;
        }
    }
    if (clean.empty() || clean.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out(clean.size() / 4 * 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                       reinterpret_cast<const unsigned char*>(clean.data()),
                                       static_cast<int>(clean.size()));
    if (length < 0) {
        return std::nullopt;
    }
    // EVP_DecodeBlock counts the padding as bytes.
    const auto padding = clean.size() - clean.find_last_not_of('=') - 1;
    out.resize(static_cast<std::size_t>(length) - std::min<std::size_t>(padding, 2));
    return out;
}

const EVP_MD* digestOf(std::string_view algorithm) {
    if (algorithm == "http://www.w3.org/2001/04/xmlenc#sha512" ||
        algorithm == "http://www.w3.org/2001/04/xmldsig-more#rsa-sha512") {
        return EVP_sha512();
    }
    if (algorithm == "http://www.w3.org/2001/04/xmlenc#sha256" ||
        algorithm == "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256") {
        return EVP_sha256();
    }
    return nullptr;
}

std::string digest(const EVP_MD* md, std::string_view bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), out, &length, md, nullptr);
    return std::string(reinterpret_cast<char*>(out), length);
}

bool isSignatureFile(const std::string& name) {
    if (name == "author-signature.xml") {
        return true;
    }
    if (name.rfind("signature", 0) != 0 || name.size() <= 13 ||
        name.compare(name.size() - 4, 4, ".xml") != 0) {
        return false;
    }
    const std::string number = name.substr(9, name.size() - 13);
    return std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The certificates of KeyInfo, the signer's first.
std::vector<Cert> certificatesOf(std::string_view xml) {
    std::vector<Cert> certs;
    for (std::size_t at = findTag(xml, "X509Certificate", 0, false); at != std::string_view::npos;
         at = findTag(xml, "X509Certificate", at + 1, false)) {
        const auto der = base64Decode(textOf(xml.substr(at), "X509Certificate").value_or(""));
        if (!der) {
            return {};
        }
        const auto* p = reinterpret_cast<const unsigned char*>(der->data());
        Cert cert(d2i_X509(nullptr, &p, static_cast<long>(der->size())));
        if (!cert) {
            return {};
        }
        certs.push_back(std::move(cert));
    }
    // The signer is the one that issued none of the others, wherever a tool put it.
    const auto signer = std::find_if(certs.begin(), certs.end(), [&](const Cert& candidate) {
        return std::none_of(certs.begin(), certs.end(), [&](const Cert& other) {
            return other != candidate &&
                   X509_check_issued(candidate.get(), other.get()) == X509_V_OK;
        });
    });
    if (signer != certs.end()) {
        std::rotate(certs.begin(), signer, signer + 1);
    }
    return certs;
}

std::optional<Failure> checkChain(const std::vector<Cert>& certs, const TrustSettings& trust) {
    Owned<X509_STORE> store(X509_STORE_new());
    for (const auto& pem : trust.rootPems) {
        Owned<BIO> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
        while (X509* root = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
            X509_STORE_add_cert(store.get(), root);
            X509_free(root);
        }
    }
    Owned<STACK_OF(X509)> untrusted(sk_X509_new_null());
    for (std::size_t i = 1; i < certs.size(); ++i) {
        X509_up_ref(certs[i].get());
        sk_X509_push(untrusted.get(), certs[i].get());
    }
    Owned<X509_STORE_CTX> ctx(X509_STORE_CTX_new());
    if (!X509_STORE_CTX_init(ctx.get(), store.get(), certs[0].get(), untrusted.get())) {
        return Failure{-3, "the certificate chain cannot be checked"};
    }
    X509_STORE_CTX_set_time(ctx.get(), 0, trust.clock);
    if (X509_verify_cert(ctx.get()) == 1) {
        return std::nullopt;
    }
    const int error = X509_STORE_CTX_get_error(ctx.get());
    const std::string why = X509_verify_cert_error_string(error);
    if (error == X509_V_ERR_CERT_HAS_EXPIRED) {
        return Failure{-6, "a certificate has expired by the TV's clock (" + why + ")"};
    }
    if (error == X509_V_ERR_CERT_NOT_YET_VALID) {
        return Failure{-7, "a certificate is not valid yet by the TV's clock (" + why + ")"};
    }
    return Failure{-3, "certificate chain not trusted: " + why};
}

bool signatureMatches(X509* signer, const EVP_MD* md, std::string_view signedText,
                      std::string_view value) {
    EVP_PKEY* key = X509_get0_pubkey(signer);
    if (!key || EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) {
        return false;
    }
    Owned<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
    return EVP_DigestVerifyInit(ctx.get(), nullptr, md, nullptr, key) == 1 &&
           EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(value.data()),
                            value.size(), reinterpret_cast<const unsigned char*>(signedText.data()),
                            signedText.size()) == 1;
}

std::vector<std::string> deviceIdsOf(X509* cert) {
    std::vector<std::string> ids;
    Owned<GENERAL_NAMES> names(static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; names && i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
        if (name->type != GEN_URI) {
            continue;
        }
        std::string uri(reinterpret_cast<const char*>(ASN1_STRING_get0_data(name->d.ia5)),
                        static_cast<std::size_t>(ASN1_STRING_length(name->d.ia5)));
        std::string lower = uri;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower.rfind(kDeviceIdUri, 0) == 0) {
            ids.push_back(uri.substr(kDeviceIdUri.size()));
        }
    }
    return ids;
}

std::string commonNameOf(X509* cert) {
    char name[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, name, sizeof name);
    return name;
}

std::string hex(std::string_view bytes) {
    std::string out;
    char two[3];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", c);
        out += two;
    }
    return out;
}

// The signature properties a reference "#prop" points at, with the role this file must claim.
std::optional<Failure> checkProperties(std::string_view xml, const EVP_MD* md,
                                       std::string_view digestValue, std::string_view role) {
    const auto object = elementOf(xml, "Object");
    if (!object || attributeOf(*object, "Object", "Id") != "prop") {
        return Failure{-4, "no signature properties (Object Id=\"prop\")"};
    }
    const auto expected = base64Decode(digestValue);
    if (!expected || *expected != digest(md, canonicalElement(*object, kDsig))) {
        return Failure{-4, "digest mismatch for the signature properties"};
    }
    if (attributeOf(*object, "Profile", "URI") != "http://www.w3.org/ns/widgets-digsig#profile" ||
        attributeOf(*object, "Role", "URI") !=
            std::string("http://www.w3.org/ns/widgets-digsig#") + std::string(role)) {
        return Failure{-4,
                       "signature properties do not name the profile and the " + std::string(role)};
    }
    return std::nullopt;
}

struct Signed {
    Cert signer;
    std::set<std::string> referenced;
};

// One signature file: chain, SignatureValue, every reference. The signer and what it covers.
std::variant<Signed, Failure> checkSignatureFile(const std::string& file, const Members& members,
                                                 std::string_view role,
                                                 const TrustSettings& trust) {
    const auto found = members.find(file);
    if (found == members.end()) {
        return Failure{-3, file + " missing"};
    }
    const std::string_view xml = found->second;
    std::vector<Cert> certs = certificatesOf(xml);
    if (certs.empty()) {
        return Failure{-3, file + ": no certificate in KeyInfo"};
    }
    if (auto failure = checkChain(certs, trust)) {
        failure->reason = file + ": " + failure->reason;
        return *failure;
    }
    const auto signedInfo = elementOf(xml, "SignedInfo");
    const EVP_MD* method =
        signedInfo ? digestOf(attributeOf(*signedInfo, "SignatureMethod", "Algorithm")) : nullptr;
    const auto value = base64Decode(textOf(xml, "SignatureValue").value_or(""));
    if (!method || !value ||
        !signatureMatches(certs[0].get(), method, canonicalElement(*signedInfo, kDsig), *value)) {
        return Failure{-4, file + ": SignatureValue does not verify"};
    }
    Signed result{std::move(certs[0]), {}};
    bool properties = false;
    // The signature properties first: a file signed in the wrong role is refused as such.
    for (const bool propertiesPass : {true, false}) {
        for (std::size_t at = findTag(*signedInfo, "Reference", 0, false);
             at != std::string_view::npos; at = findTag(*signedInfo, "Reference", at + 1, false)) {
            const std::string_view rest = signedInfo->substr(at);
            const auto reference = elementOf(rest, "Reference").value_or(rest);
            const std::string uri = attributeOf(reference, "Reference", "URI");
            const EVP_MD* md = digestOf(attributeOf(reference, "DigestMethod", "Algorithm"));
            const std::string digestValue = textOf(reference, "DigestValue").value_or("");
            if ((uri == "#prop") != propertiesPass) {
                continue;
            }
            if (!md) {
                return Failure{-4, file + ": unknown digest method for " + uri};
            }
            if (propertiesPass) {
                if (auto failure = checkProperties(xml, md, digestValue, role)) {
                    failure->reason = file + ": " + failure->reason;
                    return *failure;
                }
                properties = true;
                continue;
            }
            const std::string member = percentDecode(uri);
            const auto bytes = members.find(member);
            if (bytes == members.end()) {
                return Failure{-4, file + " references a missing file " + member};
            }
            if (base64Decode(digestValue) != digest(md, bytes->second)) {
                return Failure{-4, file + ": digest mismatch for " + member};
            }
            result.referenced.insert(member);
        }
        if (!properties) {
            return Failure{-4, file + ": no reference to the signature properties"};
        }
    }
    return result;
}

}  // namespace

SignatureVerdict verifySignatures(const Members& members, const TrustSettings& trust) {
    SignatureVerdict verdict;
    auto refuse = [&](const Failure& failure) {
        verdict.code = failure.code;
        verdict.reason = failure.reason;
        return verdict;
    };
    auto author = checkSignatureFile("author-signature.xml", members, "role-author", trust);
    if (auto* failure = std::get_if<Failure>(&author)) {
        return refuse(*failure);
    }
    auto distributor = checkSignatureFile("signature1.xml", members, "role-distributor", trust);
    if (auto* failure = std::get_if<Failure>(&distributor)) {
        return refuse(*failure);
    }
    const Signed& authorSigned = std::get<Signed>(author);
    const Signed& distributorSigned = std::get<Signed>(distributor);
    // Samsung's distributor certificates are all "CN=TizenSDK", an author's never: a profile
    // whose two files were swapped signs each role with the other's certificate.
    if (commonNameOf(distributorSigned.signer.get()) != "TizenSDK" ||
        commonNameOf(authorSigned.signer.get()) == "TizenSDK") {
        return refuse({-3,
                       "the author and distributor certificates are swapped (the distributor's "
                       "is " +
                           commonNameOf(distributorSigned.signer.get()) + ")"});
    }
    // The TV walks the package: a file no signature names is refused.
    for (const auto& [name, bytes] : members) {
        if (isSignatureFile(name)) {
            continue;
        }
        if (!authorSigned.referenced.contains(name)) {
            return refuse({-5, "author-signature.xml does not reference " + name});
        }
        if (!distributorSigned.referenced.contains(name)) {
            return refuse({-5, "signature1.xml does not reference " + name});
        }
    }
    if (!distributorSigned.referenced.contains("author-signature.xml")) {
        return refuse({-5, "signature1.xml does not reference author-signature.xml"});
    }
    const std::vector<std::string> inCertificate = deviceIdsOf(distributorSigned.signer.get());
    const auto lists = [&](const std::vector<std::string>& ids) {
        return std::find(ids.begin(), ids.end(), trust.duid) != ids.end();
    };
    if (!lists(inCertificate) && !lists(trust.profileDevices)) {
        return refuse({-3, "DUID " + trust.duid +
                               " is neither in the distributor certificate nor in " +
                               "/home/developer/device-profile.xml"});
    }
    unsigned char fingerprint[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(authorSigned.signer.get(), EVP_sha256(), fingerprint, &length);
    verdict.authorFingerprint = hex(std::string_view(reinterpret_cast<char*>(fingerprint), length));
    return verdict;
}

std::vector<std::string> testDevicesOf(std::string_view deviceProfile) {
    std::vector<std::string> devices;
    for (std::size_t at = findTag(deviceProfile, "TestDevice", 0, false);
         at != std::string_view::npos; at = findTag(deviceProfile, "TestDevice", at + 1, false)) {
        if (auto text = textOf(deviceProfile.substr(at), "TestDevice"); text && !text->empty()) {
            devices.push_back(*text);
        }
    }
    return devices;
}

std::string certificateErrorText(int code) {
    switch (code) {
        case -3:
            return "Invalid certificate chain with certificate in signature.:<-3>";
        case -4:
            return "Invalid signature. The signature does not match the package.:<-4>";
        case -5:
            return "Invalid file reference. An unsinged file is found.:<-5>";
        case -6:
            return "Certificate in signature is expired.:<-6>";
        case -7:
            return "Certificate in signature is not valid yet.:<-7>";
        default:
            return "Invalid certificate.:<" + std::to_string(code) + ">";
    }
}

}  // namespace tvsim
