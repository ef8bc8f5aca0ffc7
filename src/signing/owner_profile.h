#pragma once
// The owner's certificate profile as a signed run holds it: its files as read, the passwords
// typed for them (wiped once signing is done or the run stops) and the certificates the check
// before the run read from them.
#include <optional>
#include <string>
#include <string_view>

#include "platform/profile_dialogs.h"
#include "src/signing/signing_profile.h"

struct OwnerProfile {
    widget::ProfileFiles files;
    platform::ProfilePasswords passwords;
    widget::ProfileCertificates certificates;
    const std::wstring& folder() const { return files.folder; }
};

// The DUID `shell 0 getduid` printed: its first line when that is one word of letters and
// digits, or nothing (an error text, no answer).
std::optional<std::wstring> duidFromOutput(std::string_view output);
