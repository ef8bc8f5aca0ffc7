#include "tools/tvsim/xml_scan.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tvsim {

namespace {

bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct Attribute {
    std::string name;
    std::string value;  // as written, entity references kept
};

// Sorted as c14n orders them: the default namespace declaration, the other declarations by
// prefix, then the attributes by name.
bool canonicalOrder(const Attribute& a, const Attribute& b) {
    auto rank = [](const Attribute& attribute) {
        if (attribute.name == "xmlns") {
            return 0;
        }
        return attribute.name.rfind("xmlns:", 0) == 0 ? 1 : 2;
    };
    if (rank(a) != rank(b)) {
        return rank(a) < rank(b);
    }
    return a.name < b.name;
}

}  // namespace

std::size_t findTag(std::string_view xml, std::string_view element, std::size_t from,
                    bool closing) {
    for (std::size_t at = xml.find('<', from); at != std::string_view::npos;
         at = xml.find('<', at + 1)) {
        std::size_t begin = at + 1;
        if (closing) {
            if (begin >= xml.size() || xml[begin] != '/') {
                continue;
            }
            ++begin;
        }
        std::size_t end = begin;
        while (end < xml.size() && isNameChar(xml[end])) {
            ++end;
        }
        std::string_view name = xml.substr(begin, end - begin);
        if (const auto colon = name.rfind(':'); colon != std::string_view::npos) {
            name.remove_prefix(colon + 1);
        }
        if (name == element && end < xml.size() &&
            (xml[end] == '>' || xml[end] == '/' || isSpace(xml[end]))) {
            return at;
        }
    }
    return std::string_view::npos;
}

std::string attributeInTag(std::string_view tag, std::string_view name) {
    for (std::size_t at = tag.find(name); at != std::string_view::npos;
         at = tag.find(name, at + 1)) {
        // Whole attribute name only: "id" must not match "appid" or "id2".
        if (at == 0 || isNameChar(tag[at - 1])) {
            continue;
        }
        std::size_t i = at + name.size();
        while (i < tag.size() && isSpace(tag[i])) {
            ++i;
        }
        if (i >= tag.size() || tag[i] != '=') {
            continue;
        }
        ++i;
        while (i < tag.size() && isSpace(tag[i])) {
            ++i;
        }
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) {
            continue;
        }
        const std::size_t close = tag.find(tag[i], i + 1);
        if (close == std::string_view::npos) {
            return {};
        }
        return std::string(tag.substr(i + 1, close - i - 1));
    }
    return {};
}

std::string attributeOf(std::string_view xml, std::string_view element, std::string_view name) {
    const std::size_t at = findTag(xml, element, 0, false);
    if (at == std::string_view::npos) {
        return {};
    }
    const std::size_t end = xml.find('>', at);
    return attributeInTag(xml.substr(at, end == std::string_view::npos ? end : end - at), name);
}

std::optional<std::string> textOf(std::string_view xml, std::string_view element) {
    const std::size_t open = findTag(xml, element, 0, false);
    if (open == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t openEnd = xml.find('>', open);
    const std::size_t close = findTag(xml, element, openEnd, true);
    if (openEnd == std::string_view::npos || close == std::string_view::npos) {
        return std::nullopt;
    }
    std::string text(xml.substr(openEnd + 1, close - openEnd - 1));
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::optional<std::string_view> elementOf(std::string_view xml, std::string_view element) {
    const std::size_t open = findTag(xml, element, 0, false);
    const std::size_t openEnd = xml.find('>', open == std::string_view::npos ? xml.size() : open);
    if (open == std::string_view::npos || openEnd == std::string_view::npos) {
        return std::nullopt;
    }
    if (xml[openEnd - 1] == '/') {
        return xml.substr(open, openEnd + 1 - open);
    }
    // Elements of the same name do not nest in the files read here.
    const std::size_t close = findTag(xml, element, openEnd, true);
    const std::size_t closeEnd = close == std::string_view::npos ? close : xml.find('>', close);
    if (closeEnd == std::string_view::npos) {
        return std::nullopt;
    }
    return xml.substr(open, closeEnd + 1 - open);
}

std::string canonicalElement(std::string_view element, std::string_view defaultNamespace) {
    std::string out;
    bool apex = true;
    std::size_t i = 0;
    while (i < element.size()) {
        if (element.substr(i, 4) == "<!--") {
            const std::size_t end = element.find("-->", i + 4);
            i = end == std::string_view::npos ? element.size() : end + 3;
        } else if (element.substr(i, 2) == "</") {
            std::size_t end = i + 2;
            while (end < element.size() && isNameChar(element[end])) {
                ++end;
            }
            out += "</";
            out += element.substr(i + 2, end - i - 2);
            out += '>';
            const std::size_t close = element.find('>', end);
            i = close == std::string_view::npos ? element.size() : close + 1;
        } else if (element[i] == '<') {
            std::size_t at = i + 1;
            while (at < element.size() && isNameChar(element[at])) {
                ++at;
            }
            const std::string name(element.substr(i + 1, at - i - 1));
            std::vector<Attribute> attributes;
            bool empty = false;
            while (at < element.size()) {
                while (at < element.size() && isSpace(element[at])) {
                    ++at;
                }
                if (at >= element.size() || element[at] == '>') {
                    ++at;
                    break;
                }
                if (element[at] == '/') {
                    empty = true;
                    ++at;
                    continue;
                }
                const std::size_t nameStart = at;
                while (at < element.size() && isNameChar(element[at])) {
                    ++at;
                }
                Attribute attribute{std::string(element.substr(nameStart, at - nameStart)), {}};
                while (at < element.size() && (isSpace(element[at]) || element[at] == '=')) {
                    ++at;
                }
                if (at < element.size() && (element[at] == '"' || element[at] == '\'')) {
                    const char quote = element[at];
                    const std::size_t close = element.find(quote, at + 1);
                    const std::size_t end =
                        close == std::string_view::npos ? element.size() : close;
                    attribute.value = element.substr(at + 1, end - at - 1);
                    at = end + 1;
                } else if (attribute.name.empty()) {
                    ++at;  // a stray character: skip it rather than loop
                    continue;
                }
                // A descendant repeating the namespace it is already in declares nothing.
                if (!apex && attribute.name == "xmlns" && attribute.value == defaultNamespace) {
                    continue;
                }
                attributes.push_back(std::move(attribute));
            }
            if (apex && std::none_of(attributes.begin(), attributes.end(),
                                     [](const Attribute& a) { return a.name == "xmlns"; })) {
                attributes.push_back({"xmlns", std::string(defaultNamespace)});
            }
            apex = false;
            std::stable_sort(attributes.begin(), attributes.end(), canonicalOrder);
            out += '<' + name;
            for (const auto& attribute : attributes) {
                std::string value = attribute.value;
                for (auto q = value.find('"'); q != std::string::npos; q = value.find('"', q)) {
                    value.replace(q, 1, "&quot;");
                }
                out += ' ' + attribute.name + "=\"" + value + '"';
            }
            out += '>';
            if (empty) {
                out += "</" + name + '>';
            }
            i = at;
        } else {
            const std::size_t next = std::min(element.find('<', i), element.size());
            for (std::size_t c = i; c < next; ++c) {
                // Line ends are "\n" once parsed.
                if (element[c] == '\r') {
                    if (c + 1 < next && element[c + 1] == '\n') {
                        continue;
                    }
                    out += '\n';
                } else {
                    out += element[c];
                }
            }
            i = next;
        }
    }
    return out;
}

std::string percentDecode(std::string_view uri) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
            out += static_cast<char>(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

}  // namespace tvsim
