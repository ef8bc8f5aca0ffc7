#pragma once
// What the simulated TV checks in a pushed widget package before it installs it.
#include <filesystem>
#include <string>
#include <string_view>

#include "tools/tvsim/signature.h"
#include "tools/tvsim/xml_scan.h"

namespace tvsim {

struct PackageInfo {
    enum class Verdict {
        kOk,
        kBroken,        // not a zip, no config.xml, or no application/package id in it
        kBadSignature,  // a signature file is missing or a digest does not match its member
    };
    Verdict verdict = Verdict::kBroken;
    std::string appId;              // <tizen:application id="...">
    std::string packageId;          // <tizen:application package="...">
    std::string name;               // <name>
    std::string reason;             // why it was refused, for the TV's log
    int certificateError = -3;      // the TV's code when the signatures are refused (Tizen 7+)
    std::string authorFingerprint;  // of the author certificate, when checked and accepted
};

// As sets before Tizen 7 check: both signature files there, their file digests right.
PackageInfo inspectPackage(const std::filesystem::path& file);
// As Tizen 7 and later sets check: signatures, certificates and this TV's DUID (signature.h).
PackageInfo inspectSignedPackage(const std::filesystem::path& file, const TrustSettings& trust);

// Helpers the check is made of, open to the tests.
std::string base64Sha256(std::string_view bytes);

}  // namespace tvsim
