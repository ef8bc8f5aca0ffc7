#pragma once
#include "platform/controls.h"

// Puts the eleven language-dependent texts of the window into the given language
// (0 Russian, 1 English). The status label gets the prompt.
void applyLanguage(platform::FormControls& form, int language);
