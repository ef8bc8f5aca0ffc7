#pragma once
// Just enough XML for the signature files and config.xml a TV reads: tags found by local name,
// attributes, texts, and the canonical form of the simple elements a widget signature signs.
#include <optional>
#include <string>
#include <string_view>

namespace tvsim {

// Start of the next tag at or after `from` whose local name (prefix dropped) is `element`;
// `closing` looks for "</element>" instead. npos when there is none.
std::size_t findTag(std::string_view xml, std::string_view element, std::size_t from, bool closing);
// Value of attribute `name` in one tag's text ("<a x='1'"), whole names only; empty if none.
std::string attributeInTag(std::string_view tag, std::string_view name);
// Value of attribute `name` in the first element whose local name is `element`; empty if none.
std::string attributeOf(std::string_view xml, std::string_view element, std::string_view name);
// Text of the first element named `element` inside `xml`, surrounding white space removed.
std::optional<std::string> textOf(std::string_view xml, std::string_view element);
// The first element named `element` from its start tag through its end tag (or its self-closing
// tag), as it stands in `xml`.
std::optional<std::string_view> elementOf(std::string_view xml, std::string_view element);

// The canonical form (XML c14n, without comments) of `element`, an element cut out of a document
// whose default namespace is `defaultNamespace`: that declaration on its first tag, namespace
// declarations before attributes, attributes sorted, empty-element tags written as start and end
// tag, comments dropped. Enough for SignedInfo and the signature properties, which use no
// prefixed attributes and no entities beyond the escapes.
std::string canonicalElement(std::string_view element, std::string_view defaultNamespace);

std::string percentDecode(std::string_view uri);

}  // namespace tvsim
