#pragma once
// platform::Crypto over OpenSSL 3, for the host build: the unit tests and the bench.
#include "platform/crypto.h"

namespace platform {

class OpenSslCrypto final : public Crypto {
  public:
    std::vector<unsigned char> sha512(std::span<const unsigned char> data) override;
    std::unique_ptr<SigningKey> openKeyFile(std::span<const unsigned char> pkcs12,
                                            const Secret& password) override;
};

}  // namespace platform
