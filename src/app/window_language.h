#pragma once
// The window's display language: which one is chosen, and putting the window into it.
#include "platform/controls.h"
#include "src/texts/texts.h"

// The language the window's language choice selects at this moment.
Language shownLanguage(const platform::FormControls& form);

// Puts the eleven language-dependent texts of the window into the language. The status line
// gets the prompt.
void applyLanguage(platform::FormControls& form, Language language);
