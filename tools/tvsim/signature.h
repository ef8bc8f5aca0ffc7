#pragma once
// How a Tizen 7 or later TV judges the signatures of a package: both signature files, every file
// referenced, digests and signature values, the certificate chains against the roots it trusts at
// its own clock, and this TV's DUID in the distributor certificate or the pushed device profile.
#include <ctime>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tvsim {

struct TrustSettings {
    std::vector<std::string> rootPems;  // the roots this TV trusts, PEM text
    std::time_t clock = 0;              // the TV's clock
    std::string duid;
    std::vector<std::string> profileDevices;  // <TestDevice>s of a pushed device-profile.xml
};

struct SignatureVerdict {
    int code = 0;                   // 0 when accepted, else the TV's certificate error (-3 ... -7)
    std::string reason;             // why, for the TV's log
    std::string authorFingerprint;  // SHA-256 of the author certificate, hex; set when accepted
};

// A package's members by name (directories left out), bytes as stored.
using Members = std::map<std::string, std::string>;

SignatureVerdict verifySignatures(const Members& members, const TrustSettings& trust);

// The <TestDevice> texts of a device-profile.xml.
std::vector<std::string> testDevicesOf(std::string_view deviceProfile);

// The TV's text for a certificate error code, ending in ":<code>".
std::string certificateErrorText(int code);

}  // namespace tvsim
