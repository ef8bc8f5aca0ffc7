#pragma once
// Asking for the owner's certificate profile: the remembered folder or the folder dialog, the two
// passwords, and the check of everything that needs no TV.
#include <optional>
#include <string>

#include "platform/controls.h"
#include "platform/system.h"
#include "src/signing/owner_profile.h"

// `why`, when not empty, opens the first question (why a profile is needed). Nothing when the user
// cancelled, the program is ending, or the profile has a problem (its box shown).
std::optional<OwnerProfile> chooseProfile(platform::FormControls& controls,
                                          platform::System& system, const std::wstring& why);
