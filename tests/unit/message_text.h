// The window's texts as the tests expect to see them, and its language choice.
#pragma once

#include "src/texts/texts.h"

// The item of the window's language choice that selects the language.
inline int languageItem(Language language) {
    return language == Language::russian ? 0 : 1;
}
