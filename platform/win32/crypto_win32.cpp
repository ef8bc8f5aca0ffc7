#include "platform/win32/crypto_win32.h"

#include <windows.h>

#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <mutex>
#include <utility>

#include "platform/win32/system_library.h"

namespace platform::win32 {
namespace {

constexpr DWORD encoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// A profile's key file is a few kilobytes; anything far beyond is not one, and is not read.
constexpr std::size_t maxKeyFileSize = 1 << 20;

std::wstring codeOf(DWORD code) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(code));
    return text;
}

[[noreturn]] void fail(const std::wstring& what) {
    throw Error(what + L" (error " + codeOf(GetLastError()) + L").");
}

// crypt32 is not a KnownDLL: an import would be looked for beside the exe first.
struct Crypt32 {
    SystemLibrary library{L"crypt32.dll"};
#define QUORVEX_CRYPT32(name) decltype(&::name) name = library.function<decltype(&::name)>(#name)
    QUORVEX_CRYPT32(PFXIsPFXBlob);
    QUORVEX_CRYPT32(PFXImportCertStore);
    QUORVEX_CRYPT32(CertCloseStore);
    QUORVEX_CRYPT32(CertEnumCertificatesInStore);
    QUORVEX_CRYPT32(CertDuplicateCertificateContext);
    QUORVEX_CRYPT32(CertFreeCertificateContext);
    QUORVEX_CRYPT32(CertCompareCertificateName);
    QUORVEX_CRYPT32(CertComparePublicKeyInfo);
    QUORVEX_CRYPT32(CertGetNameStringW);
    QUORVEX_CRYPT32(CertFindExtension);
    QUORVEX_CRYPT32(CryptAcquireCertificatePrivateKey);
    QUORVEX_CRYPT32(CryptExportPublicKeyInfo);
    QUORVEX_CRYPT32(CryptDecodeObjectEx);
    QUORVEX_CRYPT32(CryptImportPublicKeyInfo);
#undef QUORVEX_CRYPT32
};

struct StoreCloser {
    const Crypt32* api;
    void operator()(void* store) const { api->CertCloseStore(store, 0); }
};
using StoreHandle = std::unique_ptr<void, StoreCloser>;

struct CertificateFreer {
    const Crypt32* api;
    void operator()(const CERT_CONTEXT* certificate) const {
        api->CertFreeCertificateContext(certificate);
    }
};
using CertificateHandle = std::unique_ptr<const CERT_CONTEXT, CertificateFreer>;

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

// HCRYPTPROV, HCRYPTHASH and HCRYPTKEY are all integers; the release function tells them apart.
template <void (*release)(ULONG_PTR)>
class CryptHandle {
  public:
    CryptHandle() = default;
    explicit CryptHandle(ULONG_PTR handle) noexcept : handle_(handle) {}
    CryptHandle(CryptHandle&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
    CryptHandle& operator=(CryptHandle&& other) noexcept {
        reset();
        handle_ = std::exchange(other.handle_, 0);
        return *this;
    }
    ~CryptHandle() { reset(); }
    ULONG_PTR get() const noexcept { return handle_; }
    void reset() noexcept {
        if (handle_ != 0)
            release(std::exchange(handle_, 0));
    }

  private:
    ULONG_PTR handle_ = 0;
};

void releaseProvider(ULONG_PTR provider) {
    CryptReleaseContext(provider, 0);
}
void destroyHash(ULONG_PTR hash) {
    CryptDestroyHash(hash);
}
void destroyKey(ULONG_PTR key) {
    CryptDestroyKey(key);
}
using ProviderHandle = CryptHandle<releaseProvider>;
using HashHandle = CryptHandle<destroyHash>;
using KeyHandle = CryptHandle<destroyKey>;

// The AES provider is the one that knows SHA-512; the older RSA_FULL one refuses it.
ProviderHandle acquireAesProvider(const wchar_t* container, DWORD flags) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, container, MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES,
                              flags | CRYPT_SILENT))
        fail(L"The system's RSA and AES provider could not be opened");
    return ProviderHandle(provider);
}

HashHandle sha512Hash(HCRYPTPROV provider, std::span<const unsigned char> data) {
    HCRYPTHASH raw = 0;
    if (!CryptCreateHash(provider, CALG_SHA_512, 0, 0, &raw))
        fail(L"SHA-512 is not available");
    HashHandle hash(raw);
    constexpr std::size_t chunk = std::numeric_limits<DWORD>::max();
    for (std::size_t done = 0; done < data.size(); done += chunk) {
        const auto size = static_cast<DWORD>(std::min(chunk, data.size() - done));
        if (!CryptHashData(hash.get(), data.data() + done, size, 0))
            fail(L"The data could not be hashed");
    }
    return hash;
}

std::chrono::system_clock::time_point timeOf(const FILETIME& time) {
    // FILETIME counts 100 ns from 1601; system_clock's nanoseconds reach only 1678..2262, and a
    // certificate may say 9999.
    constexpr std::int64_t unixEpoch = 116444736000000000;
    constexpr std::int64_t perSecond = 10000000;
    const auto ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    const std::int64_t seconds = (ticks - unixEpoch) / perSecond;
    using std::chrono::system_clock;
    constexpr std::int64_t limit = 9'000'000'000;  // about 285 years
    if (seconds > limit)
        return system_clock::time_point::max();
    if (seconds < -limit)
        return system_clock::time_point::min();
    return system_clock::time_point(std::chrono::duration_cast<system_clock::duration>(
        std::chrono::duration<std::int64_t, std::ratio<1, perSecond>>(ticks - unixEpoch)));
}

std::wstring commonName(const Crypt32& api, PCCERT_CONTEXT certificate, DWORD flags) {
    auto* oid = const_cast<char*>(szOID_COMMON_NAME);
    const DWORD size =
        api.CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, flags, oid, nullptr, 0);
    if (size <= 1)
        return {};
    std::wstring name(size, L'\0');
    api.CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, flags, oid, name.data(), size);
    name.resize(size - 1);
    return name;
}

std::vector<std::wstring> uris(const Crypt32& api, PCCERT_CONTEXT certificate) {
    const CERT_INFO& info = *certificate->pCertInfo;
    const CERT_EXTENSION* extension =
        api.CertFindExtension(szOID_SUBJECT_ALT_NAME2, info.cExtension, info.rgExtension);
    if (extension == nullptr)
        return {};
    CERT_ALT_NAME_INFO* raw = nullptr;
    DWORD size = 0;
    if (!api.CryptDecodeObjectEx(encoding, X509_ALTERNATE_NAME, extension->Value.pbData,
                                 extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &raw,
                                 &size))
        fail(L"A certificate's alternative names could not be read");
    const std::unique_ptr<CERT_ALT_NAME_INFO, LocalFreer> names(raw);
    std::vector<std::wstring> found;
    for (DWORD i = 0; i < names->cAltEntry; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        if (entry.dwAltNameChoice == CERT_ALT_NAME_URL && entry.pwszURL != nullptr)
            found.emplace_back(entry.pwszURL);
    }
    return found;
}

Certificate describe(const Crypt32& api, PCCERT_CONTEXT certificate) {
    Certificate out;
    out.der.assign(certificate->pbCertEncoded,
                   certificate->pbCertEncoded + certificate->cbCertEncoded);
    out.subjectCommonName = commonName(api, certificate, 0);
    out.issuerCommonName = commonName(api, certificate, CERT_NAME_ISSUER_FLAG);
    out.notBefore = timeOf(certificate->pCertInfo->NotBefore);
    out.notAfter = timeOf(certificate->pCertInfo->NotAfter);
    out.uris = uris(api, certificate);
    return out;
}

bool selfSigned(const Crypt32& api, PCCERT_CONTEXT certificate) {
    return api.CertCompareCertificateName(encoding, &certificate->pCertInfo->Subject,
                                          &certificate->pCertInfo->Issuer) != FALSE;
}

}  // namespace

struct Win32Crypto::Shared {
    std::mutex mutex;
    std::unique_ptr<Crypt32> crypt32;  // loaded when the first key file is opened
    bool keyOpen = false;
};

namespace {

// Marks the one key as open for its lifetime, and keeps crypt32 loaded as long.
class OpenMark {
  public:
    explicit OpenMark(std::shared_ptr<Win32Crypto::Shared> shared) : shared_(std::move(shared)) {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->keyOpen)
            throw Error(L"Another key file is still open; it must be closed first.");
        if (!shared_->crypt32)
            shared_->crypt32 = std::make_unique<Crypt32>();
        shared_->keyOpen = true;
    }
    OpenMark(const OpenMark&) = delete;
    OpenMark& operator=(const OpenMark&) = delete;
    ~OpenMark() {
        const std::lock_guard lock(shared_->mutex);
        shared_->keyOpen = false;
    }
    const Crypt32& api() const { return *shared_->crypt32; }

  private:
    std::shared_ptr<Win32Crypto::Shared> shared_;
};

// The key container the import wrote; deleted again so that no key stays in the registry (or
// the key folder) and the next import starts clean.
class Container {
  public:
    explicit Container(std::wstring name) : name_(std::move(name)) {}
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;
    ~Container() {
        HCRYPTPROV ignored = 0;
        CryptAcquireContextW(&ignored, name_.c_str(), MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES,
                             CRYPT_DELETEKEYSET | CRYPT_SILENT);
    }
    const std::wstring& name() const { return name_; }

  private:
    std::wstring name_;
};

std::wstring containerName(HCRYPTPROV provider) {
    DWORD size = 0;
    if (!CryptGetProvParam(provider, PP_CONTAINER, nullptr, &size, 0) || size == 0)
        fail(L"The imported key's container has no name");
    std::vector<char> name(size);
    if (!CryptGetProvParam(provider, PP_CONTAINER, reinterpret_cast<BYTE*>(name.data()), &size, 0))
        fail(L"The imported key's container has no name");
    const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 1)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

class Win32SigningKey final : public SigningKey {
  public:
    Win32SigningKey(std::unique_ptr<OpenMark> mark, StoreHandle store,
                    CertificateHandle certificate, std::unique_ptr<Container> container,
                    DWORD keySpec, std::vector<Certificate> chain)
        : mark_(std::move(mark)),
          store_(std::move(store)),
          certificate_(std::move(certificate)),
          container_(std::move(container)),
          provider_(acquireAesProvider(container_->name().c_str(), 0)),
          keySpec_(keySpec),
          chain_(std::move(chain)) {}

    const std::vector<Certificate>& chain() const override { return chain_; }

    std::vector<unsigned char> signSha512(std::span<const unsigned char> data) override {
        const HashHandle hash = sha512Hash(provider_.get(), data);
        DWORD size = 0;
        if (!CryptSignHashW(hash.get(), keySpec_, nullptr, 0, nullptr, &size))
            fail(L"The key could not sign");
        std::vector<unsigned char> signature(size);
        if (!CryptSignHashW(hash.get(), keySpec_, nullptr, 0, signature.data(), &size))
            fail(L"The key could not sign");
        signature.resize(size);
        verify(data, signature);
        // CryptoAPI writes the number little-endian.
        std::reverse(signature.begin(), signature.end());
        return signature;
    }

  private:
    // Against the certificate, not the key: a file whose key and certificate differ must not
    // yield signatures a TV refuses.
    void verify(std::span<const unsigned char> data,
                const std::vector<unsigned char>& signature) const {
        const ProviderHandle provider = acquireAesProvider(nullptr, CRYPT_VERIFYCONTEXT);
        HCRYPTKEY raw = 0;
        if (!mark_->api().CryptImportPublicKeyInfo(provider.get(), X509_ASN_ENCODING,
                                                   &certificate_->pCertInfo->SubjectPublicKeyInfo,
                                                   &raw))
            fail(L"The certificate's public key could not be read");
        const KeyHandle key(raw);
        const HashHandle hash = sha512Hash(provider.get(), data);
        if (!CryptVerifySignatureW(hash.get(), signature.data(),
                                   static_cast<DWORD>(signature.size()), key.get(), nullptr, 0))
            fail(L"The signature does not match the key file's certificate");
    }

    // Released in reverse: the provider, then the container is deleted, then the store goes.
    std::unique_ptr<OpenMark> mark_;
    StoreHandle store_;
    CertificateHandle certificate_;
    std::unique_ptr<Container> container_;
    ProviderHandle provider_;
    DWORD keySpec_;
    std::vector<Certificate> chain_;
};

}  // namespace

Win32Crypto::Win32Crypto() : shared_(std::make_shared<Shared>()) {}
Win32Crypto::~Win32Crypto() = default;

std::vector<unsigned char> Win32Crypto::sha512(std::span<const unsigned char> data) {
    const ProviderHandle provider = acquireAesProvider(nullptr, CRYPT_VERIFYCONTEXT);
    const HashHandle hash = sha512Hash(provider.get(), data);
    std::vector<unsigned char> digest(64);
    DWORD size = static_cast<DWORD>(digest.size());
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &size, 0) || size != 64)
        fail(L"The SHA-512 digest could not be read");
    return digest;
}

std::unique_ptr<SigningKey> Win32Crypto::openKeyFile(std::span<const unsigned char> pkcs12,
                                                     const Secret& password) {
    if (pkcs12.empty() || pkcs12.size() > maxKeyFileSize)
        throw KeyFileError(KeyFileProblem::notPkcs12, L"The file is not a PKCS#12 key file.");
    auto mark = std::make_unique<OpenMark>(shared_);
    const Crypt32& api = mark->api();

    CRYPT_DATA_BLOB blob{static_cast<DWORD>(pkcs12.size()), const_cast<BYTE*>(pkcs12.data())};
    if (!api.PFXIsPFXBlob(&blob))
        throw KeyFileError(KeyFileProblem::notPkcs12, L"The file is not a PKCS#12 key file.");
    SetLastError(0);
    HCERTSTORE raw = api.PFXImportCertStore(&blob, password.c_str(), CRYPT_USER_KEYSET);
    // Windows tells an empty password from none; tools write either for "no password".
    if (raw == nullptr && password.empty())
        raw = api.PFXImportCertStore(&blob, nullptr, CRYPT_USER_KEYSET);
    if (raw == nullptr) {
        // Wine says nothing (0) for a wrong password; Windows says ERROR_INVALID_PASSWORD.
        const DWORD error = GetLastError();
        if (error == 0 || error == ERROR_INVALID_PASSWORD)
            throw KeyFileError(KeyFileProblem::wrongPassword,
                               L"The password does not open the key file.");
        throw KeyFileError(KeyFileProblem::notPkcs12,
                           L"The key file could not be read (error " + codeOf(error) + L").");
    }
    StoreHandle store(raw, StoreCloser{&api});

    std::vector<CertificateHandle> certificates;
    for (PCCERT_CONTEXT c = api.CertEnumCertificatesInStore(raw, nullptr); c != nullptr;
         c = api.CertEnumCertificatesInStore(raw, c))
        certificates.emplace_back(api.CertDuplicateCertificateContext(c), CertificateFreer{&api});
    if (certificates.empty())
        throw KeyFileError(KeyFileProblem::noCertificate, L"The key file holds no certificate.");

    // Every certificate of the import names the one key container; ask through the first that
    // has a key, then find the key's own certificate by its public key.
    ProviderHandle owned;
    HCRYPTPROV provider = 0;
    DWORD keySpec = 0;
    for (const auto& certificate : certificates) {
        BOOL mustFree = FALSE;
        if (api.CryptAcquireCertificatePrivateKey(certificate.get(), CRYPT_ACQUIRE_SILENT_FLAG,
                                                  nullptr, &provider, &keySpec, &mustFree)) {
            if (mustFree)
                owned = ProviderHandle(provider);
            break;
        }
        provider = 0;
    }
    if (provider == 0)
        throw KeyFileError(KeyFileProblem::noKey, L"The key file holds no private key.");
    auto container = std::make_unique<Container>(containerName(provider));

    // The key may sit under either key spec, whatever the certificate's properties say: under
    // Wine, the key spec they gave found no key, and the exchange key signs.
    std::vector<unsigned char> infoBytes;
    for (const DWORD spec :
         {static_cast<DWORD>(AT_KEYEXCHANGE), static_cast<DWORD>(AT_SIGNATURE)}) {
        DWORD infoSize = 0;
        if (!api.CryptExportPublicKeyInfo(provider, spec, X509_ASN_ENCODING, nullptr, &infoSize))
            continue;
        infoBytes.resize(infoSize);
        if (api.CryptExportPublicKeyInfo(provider, spec, X509_ASN_ENCODING,
                                         reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(infoBytes.data()),
                                         &infoSize)) {
            keySpec = spec;
            break;
        }
        infoBytes.clear();
    }
    if (infoBytes.empty())
        throw KeyFileError(KeyFileProblem::noKey, L"The key file's private key cannot be used.");
    const auto* info = reinterpret_cast<const CERT_PUBLIC_KEY_INFO*>(infoBytes.data());
    owned.reset();

    auto own = std::find_if(certificates.begin(), certificates.end(), [&](const auto& c) {
        return api.CertComparePublicKeyInfo(X509_ASN_ENCODING, &c->pCertInfo->SubjectPublicKeyInfo,
                                            const_cast<CERT_PUBLIC_KEY_INFO*>(info)) != FALSE;
    });
    if (own == certificates.end())
        throw KeyFileError(KeyFileProblem::noCertificate,
                           L"The key file holds no certificate for its key.");

    std::vector<Certificate> chain{describe(api, own->get())};
    for (auto c = certificates.begin(); c != certificates.end(); ++c)
        if (c != own && !selfSigned(api, c->get()))
            chain.push_back(describe(api, c->get()));
    CertificateHandle certificate = std::move(*own);
    return std::make_unique<Win32SigningKey>(std::move(mark), std::move(store),
                                             std::move(certificate), std::move(container), keySpec,
                                             std::move(chain));
}

}  // namespace platform::win32
