#include "platform/posix/crypto_openssl.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <climits>
#include <ctime>

#include "platform/text.h"

namespace platform {

namespace {

struct Free {
    void operator()(PKCS12* p) const noexcept { PKCS12_free(p); }
    void operator()(EVP_PKEY* p) const noexcept { EVP_PKEY_free(p); }
    void operator()(X509* p) const noexcept { X509_free(p); }
    void operator()(EVP_MD_CTX* p) const noexcept { EVP_MD_CTX_free(p); }
    void operator()(GENERAL_NAMES* p) const noexcept { GENERAL_NAMES_free(p); }
    void operator()(STACK_OF(X509) * p) const noexcept { sk_X509_pop_free(p, X509_free); }
};
template <class T>
using Owned = std::unique_ptr<T, Free>;

// OpenSSL's own reason for the last failure, for the error's detail; the queue is left empty.
std::wstring lastError() {
    std::string text;
    while (unsigned long e = ERR_get_error()) {
        char buffer[256];
        ERR_error_string_n(e, buffer, sizeof buffer);
        text = buffer;  // the first error queued is the deepest; the last one says most
    }
    return fromUtf8(text);
}

// `-legacy` files keep their certificates in RC2-40 bags, which OpenSSL 3 reads only with its
// legacy provider; loading a provider by hand stops the default one loading by itself. Both stay
// loaded until the process ends (unloaded before OpenSSL's own cleanup, which runs later).
void loadProviders() {
    struct Providers {
        OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");     // missing: -legacy files
        OSSL_PROVIDER* standard = OSSL_PROVIDER_load(nullptr, "default");  // fail as damaged
        ~Providers() {
            for (OSSL_PROVIDER* p : {legacy, standard}) {
                if (p) {
                    OSSL_PROVIDER_unload(p);
                }
            }
        }
    };
    static const Providers providers;
    ERR_clear_error();
}

// The password as OpenSSL takes it (UTF-8, which it turns into PKCS#12's UTF-16 itself), in a
// buffer sized once and wiped when done.
class Utf8Password {
  public:
    explicit Utf8Password(const Secret& secret) : bytes_(secret.size() * 4 + 1, '\0') {
        length_ = toUtf8(std::wstring_view(secret.c_str(), secret.size()), bytes_);
    }
    ~Utf8Password() { OPENSSL_cleanse(bytes_.data(), bytes_.size()); }
    Utf8Password(const Utf8Password&) = delete;
    Utf8Password& operator=(const Utf8Password&) = delete;

    const char* c_str() const noexcept { return bytes_.data(); }
    int size() const noexcept { return static_cast<int>(length_); }

  private:
    std::vector<char> bytes_;  // zero after the text
    std::size_t length_ = 0;
};

std::wstring commonName(const X509_NAME* name) {
    int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    if (index < 0) {
        return {};
    }
    unsigned char* utf8 = nullptr;
    int length =
        ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
    if (length < 0) {
        ERR_clear_error();
        return {};
    }
    std::wstring text = fromUtf8(std::string_view(reinterpret_cast<char*>(utf8), length));
    OPENSSL_free(utf8);
    return text;
}

std::chrono::system_clock::time_point timePoint(const ASN1_TIME* time) {
    std::tm tm{};
    if (!ASN1_TIME_to_tm(time, &tm)) {
        throw KeyFileError(KeyFileProblem::notPkcs12, L"A certificate has a damaged date");
    }
    return std::chrono::system_clock::from_time_t(timegm(&tm));
}

Certificate describe(X509* x509) {
    Certificate c;
    int length = i2d_X509(x509, nullptr);
    if (length <= 0) {
        throw KeyFileError(KeyFileProblem::notPkcs12, L"A certificate cannot be encoded");
    }
    c.der.resize(static_cast<std::size_t>(length));
    unsigned char* out = c.der.data();
    i2d_X509(x509, &out);
    c.subjectCommonName = commonName(X509_get_subject_name(x509));
    c.issuerCommonName = commonName(X509_get_issuer_name(x509));
    c.notBefore = timePoint(X509_get0_notBefore(x509));
    c.notAfter = timePoint(X509_get0_notAfter(x509));
    Owned<GENERAL_NAMES> names(static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(x509, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; names && i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
        if (name->type == GEN_URI) {
            const ASN1_IA5STRING* uri = name->d.uniformResourceIdentifier;
            c.uris.push_back(
                fromUtf8(std::string_view(reinterpret_cast<const char*>(ASN1_STRING_get0_data(uri)),
                                          static_cast<std::size_t>(ASN1_STRING_length(uri)))));
        }
    }
    ERR_clear_error();  // a certificate without SubjectAltName queues nothing worth keeping
    return c;
}

class OpenSslKey final : public SigningKey {
  public:
    OpenSslKey(Owned<EVP_PKEY> key, std::vector<Owned<X509>> chain)
        : key_(std::move(key)), x509_(std::move(chain)) {
        for (const auto& x509 : x509_) {
            chain_.push_back(describe(x509.get()));
        }
    }

    const std::vector<Certificate>& chain() const override { return chain_; }

    std::vector<unsigned char> signSha512(std::span<const unsigned char> data) override {
        if (EVP_PKEY_get_base_id(key_.get()) != EVP_PKEY_RSA) {
            throw Error(L"The key is not an RSA key; a widget signature needs RSA");
        }
        Owned<EVP_MD_CTX> context(EVP_MD_CTX_new());
        EVP_PKEY_CTX* keyContext = nullptr;
        std::size_t length = 0;
        if (!context ||
            EVP_DigestSignInit(context.get(), &keyContext, EVP_sha512(), nullptr, key_.get()) !=
                1 ||
            EVP_PKEY_CTX_set_rsa_padding(keyContext, RSA_PKCS1_PADDING) != 1 ||
            EVP_DigestSign(context.get(), nullptr, &length, data.data(), data.size()) != 1) {
            throw Error(L"Cannot sign: " + lastError());
        }
        std::vector<unsigned char> signature(length);
        if (EVP_DigestSign(context.get(), signature.data(), &length, data.data(), data.size()) !=
            1) {
            throw Error(L"Cannot sign: " + lastError());
        }
        signature.resize(length);

        // A signature the certificate does not confirm would only fail on the TV.
        Owned<EVP_MD_CTX> check(EVP_MD_CTX_new());
        EVP_PKEY_CTX* checkKey = nullptr;
        if (!check ||
            EVP_DigestVerifyInit(check.get(), &checkKey, EVP_sha512(), nullptr,
                                 X509_get0_pubkey(x509_.front().get())) != 1 ||
            EVP_PKEY_CTX_set_rsa_padding(checkKey, RSA_PKCS1_PADDING) != 1 ||
            EVP_DigestVerify(check.get(), signature.data(), signature.size(), data.data(),
                             data.size()) != 1) {
            lastError();
            throw Error(L"The signature made does not match the key's certificate");
        }
        return signature;
    }

  private:
    Owned<EVP_PKEY> key_;
    std::vector<Owned<X509>> x509_;
    std::vector<Certificate> chain_;
};

// The key's certificate first, then each issuer found in the file; a self-signed root goes.
std::vector<Owned<X509>> orderChain(EVP_PKEY* key, std::vector<Owned<X509>> all) {
    std::vector<Owned<X509>> chain;
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (X509_check_private_key(it->get(), key) == 1) {
            chain.push_back(std::move(*it));
            all.erase(it);
            break;
        }
    }
    ERR_clear_error();
    if (chain.empty()) {
        return chain;
    }
    for (bool found = true; found && !all.empty();) {
        found = false;
        for (auto it = all.begin(); it != all.end(); ++it) {
            if (X509_check_issued(it->get(), chain.back().get()) == X509_V_OK) {
                chain.push_back(std::move(*it));
                all.erase(it);
                found = true;
                break;
            }
        }
    }
    for (auto& other : all) {  // certificates of no place in the chain keep the file's order
        chain.push_back(std::move(other));
    }
    std::erase_if(chain, [&](const Owned<X509>& x509) {
        return x509 != chain.front() && X509_self_signed(x509.get(), 0) == 1;
    });
    ERR_clear_error();
    return chain;
}

}  // namespace

std::vector<unsigned char> OpenSslCrypto::sha512(std::span<const unsigned char> data) {
    std::vector<unsigned char> digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha512(), nullptr) != 1) {
        throw Error(L"SHA-512 failed: " + lastError());
    }
    digest.resize(length);
    return digest;
}

std::unique_ptr<SigningKey> OpenSslCrypto::openKeyFile(std::span<const unsigned char> pkcs12,
                                                       const Secret& password) {
    loadProviders();
    ERR_clear_error();
    if (pkcs12.size() > INT_MAX) {
        throw KeyFileError(KeyFileProblem::notPkcs12, L"The file is far too big for a key file");
    }
    const unsigned char* in = pkcs12.data();
    Owned<PKCS12> file(d2i_PKCS12(nullptr, &in, static_cast<long>(pkcs12.size())));
    if (!file) {
        throw KeyFileError(KeyFileProblem::notPkcs12, L"Not a PKCS#12 file: " + lastError());
    }

    Utf8Password utf8(password);
    const char* pass = utf8.c_str();
    if (PKCS12_mac_present(file.get())) {
        bool opens = PKCS12_verify_mac(file.get(), pass, utf8.size()) == 1;
        if (!opens && utf8.size() == 0) {
            // An empty password is written either as an empty string or as none at all.
            opens = PKCS12_verify_mac(file.get(), nullptr, 0) == 1;
            pass = opens ? nullptr : pass;
        }
        if (!opens) {
            ERR_clear_error();
            throw KeyFileError(KeyFileProblem::wrongPassword,
                               L"The password does not open the file");
        }
    }

    EVP_PKEY* rawKey = nullptr;
    X509* rawCertificate = nullptr;
    STACK_OF(X509)* rawOthers = nullptr;
    if (!PKCS12_parse(file.get(), pass, &rawKey, &rawCertificate, &rawOthers)) {
        throw KeyFileError(KeyFileProblem::notPkcs12,
                           L"The file's contents cannot be read: " + lastError());
    }
    Owned<EVP_PKEY> key(rawKey);
    std::vector<Owned<X509>> all;
    if (rawCertificate) {
        all.emplace_back(rawCertificate);
    }
    Owned<STACK_OF(X509)> others(rawOthers);
    while (others && sk_X509_num(others.get()) > 0) {
        all.emplace_back(sk_X509_shift(others.get()));
    }
    if (!key) {
        throw KeyFileError(KeyFileProblem::noKey, L"The file holds no private key");
    }
    std::vector<Owned<X509>> chain = orderChain(key.get(), std::move(all));
    if (chain.empty()) {
        throw KeyFileError(KeyFileProblem::noCertificate,
                           L"The file holds no certificate for its private key");
    }
    return std::make_unique<OpenSslKey>(std::move(key), std::move(chain));
}

}  // namespace platform
