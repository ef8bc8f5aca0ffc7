// A window text in one language, as the tests expect to see it.
#pragma once

#include <string>

#include "src/texts/string_table.h"

inline const std::wstring& text(MessageId id, int language) {
    return StringTable::instance().text(id, language);
}
