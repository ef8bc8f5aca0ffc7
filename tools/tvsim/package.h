#pragma once
// What the simulated TV checks in a pushed widget package before it installs it.
#include <filesystem>
#include <string>
#include <string_view>

namespace tvsim {

struct PackageInfo {
    enum class Verdict {
        kOk,
        kBroken,        // not a zip, no config.xml, or no application/package id in it
        kBadSignature,  // a signature file is missing or a digest does not match its member
    };
    Verdict verdict = Verdict::kBroken;
    std::string appId;      // <tizen:application id="...">
    std::string packageId;  // <tizen:application package="...">
    std::string name;       // <name>
    std::string reason;     // why it was refused, for the TV's log
};

PackageInfo inspectPackage(const std::filesystem::path& file);

// Helpers the check is made of, open to the tests.
std::string base64Sha256(std::string_view bytes);
// Value of attribute `name` in the first element whose local name is `element`; empty if none.
std::string attributeOf(std::string_view xml, std::string_view element, std::string_view name);
std::string percentDecode(std::string_view uri);

}  // namespace tvsim
