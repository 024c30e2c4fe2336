#pragma once
// A small XML reader for the layer descriptions inside layered picture files: elements,
// attributes, the five named entities and numeric character references. Text, comments,
// processing instructions and CDATA are skipped; a document type declaration is skipped
// without reading anything it declares, so no entity of the file's own and no outside
// resource is ever expanded. Size, depth and element count are bounded.
//
// Written here rather than taken from an XML library: the files use a handful of
// constructs, and a reader that cannot expand declared entities or fetch anything, with
// every loop bounded by the input, is shorter than the set-up that makes a general
// parser safe for hostile input.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quill {

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes; // values with entities replaced
    std::vector<XmlElement> children;                            // elements only, in order

    // The value of the attribute called name, or nullptr.
    const std::string* attribute(std::string_view attributeName) const;
};

struct XmlLimits {
    std::size_t maxBytes = 4u << 20;
    int maxDepth = 64; // the root element is depth 1
    std::size_t maxElements = 100000;
};

// Parses a whole document (an optional UTF-8 byte order mark, prolog, one root element).
// On failure returns nullopt and error says what is wrong and where (a line number).
std::optional<XmlElement> parseXml(std::string_view text, const XmlLimits& limits,
                                   std::string& error);

// A name or value from a file as a message shows it: control characters replaced, on one
// line, cut short after maxLength bytes (with "...").
std::string textForMessage(std::string_view text, std::size_t maxLength = 40);

// text with & < > " and the line breaks and tabs written as references, for an attribute
// value in double quotes. Other control characters, which XML 1.0 cannot hold, are dropped,
// and each byte that does not belong to well-formed UTF-8 becomes U+FFFD.
std::string escapeXmlAttribute(std::string_view text);

} // namespace quill
