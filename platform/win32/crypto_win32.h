#pragma once
// platform::Crypto over Windows' own CryptoAPI. crypt32.dll is loaded from the system directory
// when the first key file is opened; SHA-512 comes from advapi32's AES provider.
#include <memory>

#include "platform/crypto.h"

namespace platform::win32 {

class Win32Crypto final : public Crypto {
  public:
    Win32Crypto();
    ~Win32Crypto() override;

    std::vector<unsigned char> sha512(std::span<const unsigned char> data) override;
    // Only one key may be open at a time: Wine keeps every imported key in one container, so a
    // second import would replace the first one's key. Opening another throws platform::Error.
    std::unique_ptr<SigningKey> openKeyFile(std::span<const unsigned char> pkcs12,
                                            const Secret& password) override;

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace platform::win32
