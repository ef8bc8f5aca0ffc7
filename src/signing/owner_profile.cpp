#include "src/signing/owner_profile.h"

std::optional<std::wstring> duidFromOutput(std::string_view output) {
    const size_t start = output.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return std::nullopt;
    auto line = output.substr(start, output.find_first_of("\r\n", start) - start);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    if (line.size() < 4 || line.size() > 64)
        return std::nullopt;
    for (char c : line) {
        const bool word = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                          (c >= 'a' && c <= 'z') || c == '-' || c == '_' || c == '.';
        if (!word)
            return std::nullopt;
    }
    return std::wstring(line.begin(), line.end());
}
