#pragma once
// What a retail TV's shell service runs: only "0 <one of its fixed commands> ..."; it refuses
// every other command line (the tool then prints "closed").
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvsim {

// The command line after "0 " when its first word is one the TV allows; nothing otherwise.
std::optional<std::string> retailCommandLine(std::string_view line);

// A command's words, one pair of double or single quotes around a word removed.
std::vector<std::string> splitWords(std::string_view command);

}  // namespace tvsim
