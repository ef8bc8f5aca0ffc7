#include "src/signing/widget_signer.h"

#include <algorithm>

#include "src/signing/widget_package.h"

namespace widget {

namespace {

constexpr std::string_view dsigNamespace = "http://www.w3.org/2000/09/xmldsig#";
constexpr std::string_view sha512Method = "http://www.w3.org/2001/04/xmlenc#sha512";

std::span<const unsigned char> bytesOf(std::string_view text) {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

std::string digestValue(std::span<const unsigned char> digest) {
    return "<DigestValue>" + base64Lines(digest) + "</DigestValue>\n";
}

// The properties object. Its text is already in canonical form but for the namespace the
// canonical form writes on it, so the document holds `text` and the digest covers `canonical`.
struct PropertiesObject {
    std::string text;
    std::string canonical;
};

PropertiesObject propertiesObject(SignatureRole role) {
    std::string target =
        role == SignatureRole::author ? "#AuthorSignature" : "#DistributorSignature";
    std::string roleUri = role == SignatureRole::author
                              ? "http://www.w3.org/ns/widgets-digsig#role-author"
                              : "http://www.w3.org/ns/widgets-digsig#role-distributor";
    std::string inner =
        "<SignatureProperties xmlns:dsp=\"http://www.w3.org/2009/xmldsig-properties\">"
        "<SignatureProperty Id=\"profile\" Target=\"" +
        target +
        "\">"
        "<dsp:Profile URI=\"http://www.w3.org/ns/widgets-digsig#profile\"></dsp:Profile>"
        "</SignatureProperty>"
        "<SignatureProperty Id=\"role\" Target=\"" +
        target +
        "\">"
        "<dsp:Role URI=\"" +
        roleUri +
        "\"></dsp:Role>"
        "</SignatureProperty>"
        "<SignatureProperty Id=\"identifier\" Target=\"" +
        target +
        "\">"
        "<dsp:Identifier></dsp:Identifier>"
        "</SignatureProperty>"
        "</SignatureProperties></Object>";
    return {"<Object Id=\"prop\">" + inner,
            "<Object xmlns=\"" + std::string(dsigNamespace) + "\" Id=\"prop\">" + inner};
}

}  // namespace

std::string encodeUriComponent(std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::string_view("-_.!~*'()").find(static_cast<char>(c)) != std::string_view::npos) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string base64Lines(std::span<const unsigned char> bytes) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string flat;
    flat.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t n = static_cast<std::uint32_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) {
            n |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        }
        if (i + 2 < bytes.size()) {
            n |= bytes[i + 2];
        }
        flat += alphabet[(n >> 18) & 63];
        flat += alphabet[(n >> 12) & 63];
        flat += i + 1 < bytes.size() ? alphabet[(n >> 6) & 63] : '=';
        flat += i + 2 < bytes.size() ? alphabet[n & 63] : '=';
    }
    std::string out;
    for (std::size_t i = 0; i < flat.size(); i += 76) {
        if (i > 0) {
            out += '\n';
        }
        out += flat.substr(i, 76);
    }
    return out;
}

std::string signatureDocument(SignatureRole role, const std::vector<SignedFile>& files,
                              platform::Crypto& crypto, platform::SigningKey& key) {
    const auto& chain = key.chain();
    if (chain.empty()) {
        throw platform::Error(L"The key file holds no certificate to sign with");
    }
    PropertiesObject object = propertiesObject(role);

    // SignedInfo as written; its exclusive canonical form differs only by the namespace on its
    // start tag, so no general canonicaliser is needed.
    std::string body =
        "<CanonicalizationMethod Algorithm=\"http://www.w3.org/2001/10/xml-exc-c14n#\">"
        "</CanonicalizationMethod>\n"
        "<SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#rsa-sha512\">"
        "</SignatureMethod>\n";
    for (const auto& file : files) {
        body += "<Reference URI=\"" + encodeUriComponent(file.name) + "\">\n";
        body += "<DigestMethod Algorithm=\"" + std::string(sha512Method) + "\"></DigestMethod>\n";
        body += digestValue(file.sha512);
        body += "</Reference>\n";
    }
    body +=
        "<Reference URI=\"#prop\">\n"
        "<Transforms>\n"
        "<Transform Algorithm=\"http://www.w3.org/2006/12/xml-c14n11\"></Transform>\n"
        "</Transforms>\n";
    body += "<DigestMethod Algorithm=\"" + std::string(sha512Method) + "\"></DigestMethod>\n";
    body += digestValue(crypto.sha512(bytesOf(object.canonical)));
    body += "</Reference>\n</SignedInfo>";

    std::string canonical = "<SignedInfo xmlns=\"" + std::string(dsigNamespace) + "\">\n" + body;
    std::vector<unsigned char> signature = key.signSha512(bytesOf(canonical));

    std::string id = role == SignatureRole::author ? "AuthorSignature" : "DistributorSignature";
    std::string xml =
        "<Signature xmlns=\"" + std::string(dsigNamespace) + "\" Id=\"" + id + "\">\n";
    xml += "<SignedInfo>\n" + body + "\n";
    xml += "<SignatureValue>\n" + base64Lines(signature) + "\n</SignatureValue>\n";
    xml += "<KeyInfo>\n<X509Data>\n";
    for (const auto& certificate : chain) {
        xml += "<X509Certificate>\n" + base64Lines(certificate.der) + "\n</X509Certificate>\n";
    }
    xml += "</X509Data>\n</KeyInfo>\n";
    xml += object.text + "\n</Signature>\n";
    return xml;
}

std::vector<unsigned char> signWidget(std::span<const unsigned char> package,
                                      platform::Crypto& crypto,
                                      std::span<const unsigned char> authorFile,
                                      const platform::Secret& authorPassword,
                                      std::span<const unsigned char> distributorFile,
                                      const platform::Secret& distributorPassword) {
    WidgetPackage zip(package);
    std::vector<SignedFile> files;
    for (const auto& member : zip.members()) {
        if (!member.isDirectory() && !isSignatureFile(member.name)) {
            files.push_back({member.name, crypto.sha512(zip.contents(member))});
        }
    }
    auto byName = [](const SignedFile& a, const SignedFile& b) { return a.name < b.name; };
    std::sort(files.begin(), files.end(), byName);

    std::string author;
    {
        auto key = crypto.openKeyFile(authorFile, authorPassword);
        author = signatureDocument(SignatureRole::author, files, crypto, *key);
    }
    files.push_back({"author-signature.xml", crypto.sha512(bytesOf(author))});
    std::sort(files.begin(), files.end(), byName);
    std::string distributor;
    {
        auto key = crypto.openKeyFile(distributorFile, distributorPassword);
        distributor = signatureDocument(SignatureRole::distributor, files, crypto, *key);
    }
    return zip.rewrite({{"author-signature.xml", {author.begin(), author.end()}},
                        {"signature1.xml", {distributor.begin(), distributor.end()}}});
}

}  // namespace widget
