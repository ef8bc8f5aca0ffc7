#pragma once
// Signs a widget package as Tizen's tools do: every old signature file removed, every other
// member kept byte for byte, a new author-signature.xml over every file, then a new
// signature1.xml (the distributor) over every file and the author signature. XML signatures with
// RSA SHA-512 and SHA-512 digests, the certificates' chains in KeyInfo.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/crypto.h"

namespace widget {

// The signed package. Opens one key file at a time (the author's, signs, closes it; then the
// distributor's). Throws widget::PackageError for a package it cannot read, platform::KeyFileError
// for a key file that does not open, platform::Error when signing fails.
std::vector<unsigned char> signWidget(std::span<const unsigned char> package,
                                      platform::Crypto& crypto,
                                      std::span<const unsigned char> authorFile,
                                      const platform::Secret& authorPassword,
                                      std::span<const unsigned char> distributorFile,
                                      const platform::Secret& distributorPassword);

// The pieces, for the tests.
enum class SignatureRole { author, distributor };
struct SignedFile {
    std::string name;  // the member's name, UTF-8
    std::vector<unsigned char> sha512;
};
// One signature file's text over `files` (in the order given) with this key.
std::string signatureDocument(SignatureRole role, const std::vector<SignedFile>& files,
                              platform::Crypto& crypto, platform::SigningKey& key);
// JavaScript's encodeURIComponent over UTF-8 bytes: "js/main.js" -> "js%2Fmain.js".
std::string encodeUriComponent(std::string_view text);
// Base64 in lines of at most 76 characters, joined by LF.
std::string base64Lines(std::span<const unsigned char> bytes);

}  // namespace widget
