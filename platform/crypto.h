#pragma once
// What signing a widget package needs from the system's cryptography: SHA-512, the owner's
// PKCS#12 key files opened with their passwords, and RSA PKCS#1 v1.5 signatures over SHA-512.
// Windows uses its own CryptoAPI; the host build uses OpenSSL.
#include <chrono>
#include <memory>
#include <memory_resource>
#include <span>
#include <string>
#include <vector>

#include "platform/error.h"

namespace platform {

// A password the user typed. It lives only as long as it is used: its memory is wiped when it
// is cleared or destroyed, and it is never copied implicitly.
class Secret {
  public:
    Secret() = default;
    // `memory` holds the text; a test gives memory of its own to see it wiped.
    explicit Secret(std::wstring_view text,
                    std::pmr::memory_resource* memory = std::pmr::new_delete_resource());
    Secret(Secret&& other) noexcept;
    Secret& operator=(Secret&& other) noexcept;
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    ~Secret() { clear(); }

    void clear() noexcept;
    // UTF-16, without a terminating zero in size() but with one after it (for system calls).
    const wchar_t* c_str() const noexcept { return units_.empty() ? L"" : units_.data(); }
    std::size_t size() const noexcept { return units_.empty() ? 0 : units_.size() - 1; }
    bool empty() const noexcept { return size() == 0; }

  private:
    std::pmr::vector<wchar_t> units_;  // the text and its terminating zero
};

// One X.509 certificate, with what the program checks of it read out.
struct Certificate {
    std::vector<unsigned char> der;
    std::wstring subjectCommonName;  // "TizenSDK" for a Samsung distributor certificate
    std::wstring issuerCommonName;   // e.g. "VD DEVELOPER Public CA Class"
    std::chrono::system_clock::time_point notBefore;
    std::chrono::system_clock::time_point notAfter;
    std::vector<std::wstring> uris;  // SubjectAltName URIs, e.g. "URN:tizen:deviceid=..."
};

// Why a key file could not be used.
enum class KeyFileProblem {
    wrongPassword,  // the password does not open the file
    notPkcs12,      // not a PKCS#12 file at all (or a damaged one)
    noKey,          // a PKCS#12 without a private key
    noCertificate,  // a key without its certificate
};

class KeyFileError : public Error {
  public:
    KeyFileError(KeyFileProblem problem, std::wstring detail)
        : Error(std::move(detail)), problem_(problem) {}
    KeyFileProblem problem() const noexcept { return problem_; }

  private:
    KeyFileProblem problem_;
};

// A key file opened with its password. Only one is open at a time (Windows' CryptoAPI under some
// systems keeps every imported key in one container): close one before opening the next.
class SigningKey {
  public:
    virtual ~SigningKey() = default;
    // The key's own certificate first, then the other certificates of the file (its issuing
    // CAs); a self-signed root in the file is left out.
    virtual const std::vector<Certificate>& chain() const = 0;
    // RSA PKCS#1 v1.5 with SHA-512 over `data`, big-endian as XML signatures carry it. The
    // signature is checked against the certificate before it is returned; throws
    // platform::Error when signing or that check fails.
    virtual std::vector<unsigned char> signSha512(std::span<const unsigned char> data) = 0;
};

class Crypto {
  public:
    virtual ~Crypto() = default;
    virtual std::vector<unsigned char> sha512(std::span<const unsigned char> data) = 0;
    // Opens a PKCS#12 file's bytes with its password. Throws KeyFileError.
    virtual std::unique_ptr<SigningKey> openKeyFile(std::span<const unsigned char> pkcs12,
                                                    const Secret& password) = 0;
};

}  // namespace platform
