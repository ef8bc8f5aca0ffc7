#include "src/signing/widget_ids.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace widget {

namespace {

[[noreturn]] void fail(const std::wstring& why) {
    throw PackageError(L"Widget package: " + why);
}

bool idCharacters(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// The value of attribute `name` in the start tag text `tag`, or nothing.
std::optional<std::string_view> attribute(std::string_view tag, std::string_view name) {
    for (std::size_t at = 0; (at = tag.find(name, at)) != std::string_view::npos; ++at) {
        bool wordStart = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                    tag[at - 1] == '\n' || tag[at - 1] == '\r');
        std::size_t eq = tag.find_first_not_of(" \t\r\n", at + name.size());
        if (!wordStart || eq == std::string_view::npos || tag[eq] != '=') {
            continue;
        }
        std::size_t quote = tag.find_first_not_of(" \t\r\n", eq + 1);
        if (quote == std::string_view::npos || (tag[quote] != '"' && tag[quote] != '\'')) {
            return std::nullopt;
        }
        std::size_t close = tag.find(tag[quote], quote + 1);
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        return tag.substr(quote + 1, close - quote - 1);
    }
    return std::nullopt;
}

}  // namespace

PackageIds readPackageIds(const WidgetPackage& package) {
    const ZipMember* config = package.find("config.xml");
    if (!config) {
        fail(L"there is no config.xml");
    }
    if (config->size > (1u << 20)) {
        fail(L"config.xml is too large");
    }
    std::vector<unsigned char> bytes = package.contents(*config);
    std::string_view xml(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    // The prefix bound to Tizen's namespace (its value in either quotes); "tizen" by custom.
    std::string prefix = "tizen";
    constexpr std::string_view ns = "http://tizen.org/ns/widgets";
    for (std::size_t at = 1; (at = xml.find(ns, at)) != std::string_view::npos; ++at) {
        const char quote = xml[at - 1];
        if ((quote != '"' && quote != '\'') || at + ns.size() >= xml.size() ||
            xml[at + ns.size()] != quote) {
            continue;
        }
        std::size_t colon = xml.rfind("xmlns:", at);
        std::size_t eq = colon == std::string_view::npos ? colon : xml.find('=', colon);
        if (eq != std::string_view::npos && eq < at) {
            std::string_view name = xml.substr(colon + 6, eq - colon - 6);
            prefix = std::string(name.substr(0, name.find_last_not_of(" \t\r\n") + 1));
        }
        break;
    }
    std::string open = "<" + prefix + ":application";
    for (std::size_t at = 0; (at = xml.find(open, at)) != std::string_view::npos; ++at) {
        std::size_t after = at + open.size();
        if (after >= xml.size() ||
            std::string_view(" \t\r\n/>").find(xml[after]) == std::string_view::npos) {
            continue;
        }
        std::size_t close = xml.find('>', after);
        if (close == std::string_view::npos) {
            break;
        }
        std::string_view tag = xml.substr(after, close - after);
        auto id = attribute(tag, "id");
        auto pkg = attribute(tag, "package");
        if (!id || !pkg || !idCharacters(*pkg) || !id->starts_with(*pkg) ||
            id->size() < pkg->size() + 2 || (*id)[pkg->size()] != '.' ||
            !idCharacters(id->substr(pkg->size() + 1))) {
            fail(L"config.xml names no usable application id and package id");
        }
        return {platform::fromUtf8(*id), platform::fromUtf8(*pkg)};
    }
    fail(L"config.xml has no " + platform::fromUtf8(open.substr(1)) + L" element");
}

}  // namespace widget
