#include "tools/tvsim/shell_line.h"

#include <array>

namespace tvsim {

namespace {

constexpr std::array<std::string_view, 7> kAllowed = {
    "getappinstallpath", "vd_appinstall", "vd_appuninstall", "applist", "rmfile", "mkdir",
    "getduid",
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> splitWords(std::string_view command) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < command.size()) {
        while (at < command.size() && isBlank(command[at])) {
            ++at;
        }
        if (at >= command.size()) {
            break;
        }
        std::string word;
        if (command[at] == '"' || command[at] == '\'') {
            const char quote = command[at];
            const std::size_t close = command.find(quote, at + 1);
            if (close != std::string_view::npos) {
                words.emplace_back(command.substr(at + 1, close - at - 1));
                at = close + 1;
                continue;
            }
        }
        const std::size_t start = at;
        while (at < command.size() && !isBlank(command[at])) {
            ++at;
        }
        words.emplace_back(command.substr(start, at - start));
    }
    return words;
}

std::optional<std::string> retailCommandLine(std::string_view line) {
    if (line.size() < 3 || line[0] != '0' || line[1] != ' ') {
        return std::nullopt;
    }
    const std::string_view rest = line.substr(2);
    const std::size_t end = rest.find_first_of(" \t;");
    const std::string_view first = rest.substr(0, end);
    for (std::string_view allowed : kAllowed) {
        if (first == allowed) {
            return std::string(rest);
        }
    }
    return std::nullopt;
}

}  // namespace tvsim
