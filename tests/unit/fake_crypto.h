#pragma once
// A stand-in for the system's cryptography: a "key file" is a line of fields the test writes,
// e.g. "p12 password=pw cn=TizenSDK from=0 to=2000000000 uri=URN:tizen:deviceid=D1" (and "nokey"
// for one without its key), and a signature is a digest of the data. It keeps the passwords of
// the keys that signed, so a test can see when they were wiped, and counts the keys open at once.
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/crypto.h"
#include "platform/text.h"

class FakeCrypto final : public platform::Crypto {
  public:
    std::vector<const platform::Secret*> signingSecrets;
    int openKeys = 0, mostOpen = 0;

    std::vector<unsigned char> sha512(std::span<const unsigned char> data) override {
        unsigned long long h = 1469598103934665603ull;  // FNV-1a, drawn out to 64 bytes
        for (unsigned char c : data)
            h = (h ^ c) * 1099511628211ull;
        std::vector<unsigned char> digest(64);
        for (auto& byte : digest)
            byte = static_cast<unsigned char>((h = (h ^ 0xff) * 1099511628211ull) >> 24);
        return digest;
    }

    std::unique_ptr<platform::SigningKey> openKeyFile(std::span<const unsigned char> pkcs12,
                                                      const platform::Secret& password) override {
        using platform::KeyFileError, platform::KeyFileProblem, platform::fromUtf8;
        const std::string text(pkcs12.begin(), pkcs12.end());
        if (!text.starts_with("p12"))
            throw KeyFileError(KeyFileProblem::notPkcs12, L"not PKCS#12");
        std::map<std::string, std::vector<std::string>> fields;
        std::istringstream in(text.substr(3));
        for (std::string field; in >> field;) {
            const auto eq = std::min(field.find('='), field.size());
            fields[field.substr(0, eq)].push_back(field.substr(std::min(eq + 1, field.size())));
        }
        if (fromUtf8(fields["password"].at(0)) != password.c_str())
            throw KeyFileError(KeyFileProblem::wrongPassword, L"wrong password");
        if (fields.contains("nokey"))
            throw KeyFileError(KeyFileProblem::noKey, L"no key");
        auto key = std::make_unique<Key>(*this, password);
        auto& certificate = key->certificates.emplace_back();
        certificate.subjectCommonName = fromUtf8(fields["cn"].at(0));
        certificate.notBefore =
            std::chrono::system_clock::from_time_t(std::stoll(fields["from"].at(0)));
        certificate.notAfter =
            std::chrono::system_clock::from_time_t(std::stoll(fields["to"].at(0)));
        for (const auto& uri : fields["uri"])
            certificate.uris.push_back(fromUtf8(uri));
        certificate.der.assign(pkcs12.begin(), pkcs12.end());
        return key;
    }

  private:
    struct Key final : platform::SigningKey {
        Key(FakeCrypto& owner, const platform::Secret& password)
            : owner(owner), password(password) {
            owner.mostOpen = std::max(owner.mostOpen, ++owner.openKeys);
        }
        ~Key() override { --owner.openKeys; }
        const std::vector<platform::Certificate>& chain() const override { return certificates; }
        std::vector<unsigned char> signSha512(std::span<const unsigned char> data) override {
            owner.signingSecrets.push_back(&password);
            return owner.sha512(data);
        }
        FakeCrypto& owner;
        const platform::Secret& password;
        std::vector<platform::Certificate> certificates;
    };
};
