#pragma once
// A stand-in for the system's cryptography: a "key file" is a line of fields the test writes,
// e.g. "p12 password=pw cn=TizenSDK from=0 to=2000000000 uri=URN:tizen:deviceid=D1", and a
// signature is a digest of the data. Records which passwords' Secrets it was handed, so a test
// can see when they were wiped.
#include <sstream>
#include <string>
#include <vector>

#include "platform/crypto.h"
#include "platform/text.h"

class FakeCrypto final : public platform::Crypto {
  public:
    // The passwords of the keys that signed: they belong to the run, which should wipe them once
    // signing is done.
    std::vector<const platform::Secret*> signingSecrets;
    int openKeys = 0;  // open at this moment
    int mostOpen = 0;  // the most open at once
    int signatures = 0;

    std::vector<unsigned char> sha512(std::span<const unsigned char> data) override {
        std::vector<unsigned char> digest(64);
        unsigned long long h = 1469598103934665603ull;
        for (size_t i = 0; i < 64; ++i) {
            for (unsigned char c : data)
                h = (h ^ c) * 1099511628211ull;
            h = (h ^ i) * 1099511628211ull;
            digest[i] = static_cast<unsigned char>(h >> 24);
        }
        return digest;
    }

    std::unique_ptr<platform::SigningKey> openKeyFile(std::span<const unsigned char> pkcs12,
                                                      const platform::Secret& password) override {
        const std::string text(pkcs12.begin(), pkcs12.end());
        using platform::KeyFileProblem;
        if (!text.starts_with("p12"))
            throw platform::KeyFileError(KeyFileProblem::notPkcs12, L"not PKCS#12");
        auto key = std::make_unique<Key>(*this, password);
        std::istringstream fields(text.substr(3));
        std::string field;
        std::wstring wanted;
        bool hasKey = true;
        platform::Certificate certificate;
        while (fields >> field) {
            const auto eq = field.find('=');
            const std::string name = field.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : field.substr(eq + 1);
            const std::wstring wide = platform::fromUtf8(value);
            if (name == "password")
                wanted = wide;
            else if (name == "cn")
                certificate.subjectCommonName = wide;
            else if (name == "from")
                certificate.notBefore = std::chrono::system_clock::from_time_t(std::stoll(value));
            else if (name == "to")
                certificate.notAfter = std::chrono::system_clock::from_time_t(std::stoll(value));
            else if (name == "uri")
                certificate.uris.push_back(wide);
            else if (name == "nokey")
                hasKey = false;
        }
        if (std::wstring_view(password.c_str()) != wanted)
            throw platform::KeyFileError(KeyFileProblem::wrongPassword, L"wrong password");
        if (!hasKey)
            throw platform::KeyFileError(KeyFileProblem::noKey, L"no key");
        certificate.der.assign(pkcs12.begin(), pkcs12.end());
        key->certificates.push_back(certificate);
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
            ++owner.signatures;
            owner.signingSecrets.push_back(&password);
            return owner.sha512(data);
        }
        FakeCrypto& owner;
        const platform::Secret& password;
        std::vector<platform::Certificate> certificates;
    };
};
