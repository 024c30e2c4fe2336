#include "imaging/BoundedXml.h"

#include <algorithm>
#include <cstdint>

namespace quill {

const std::string* XmlElement::attribute(std::string_view attributeName) const {
    for (const auto& [key, value] : attributes)
        if (key == attributeName)
            return &value;
    return nullptr;
}

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

std::string shown(std::string_view s) {
    return textForMessage(s);
}

// An element's name as a message shows it, in angle brackets.
std::string tag(std::string_view name) {
    std::string out = "<";
    out += textForMessage(name);
    out += '>';
    return out;
}

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Bounds the search for a repeated attribute name, which looks at every earlier one.
constexpr std::size_t kMaxAttributes = 256;

class Parser {
  public:
    Parser(std::string_view text, const XmlLimits& limits) : m_text(text), m_limits(limits) {}

    std::optional<XmlElement> document() {
        if (m_text.size() > m_limits.maxBytes)
            return fail("the text is larger than " + std::to_string(m_limits.maxBytes) + " bytes");
        if (m_text.substr(0, 3) == "\xEF\xBB\xBF")
            m_pos = 3;
        if (!skipMisc(true))
            return std::nullopt;
        if (!at("<") || m_pos + 1 >= m_text.size() || !isNameStart(m_text[m_pos + 1]))
            return fail("no root element");
        XmlElement root;
        if (!element(root, 1) || !skipMisc(false))
            return std::nullopt;
        if (m_pos != m_text.size())
            return fail("content after the root element");
        return root;
    }

    const std::string& error() const { return m_error; }

  private:
    std::nullopt_t fail(const std::string& what) {
        if (m_error.empty()) {
            const auto line =
                1 + std::count(m_text.begin(), m_text.begin() + std::ptrdiff_t(m_pos), '\n');
            m_error = what + " (line " + std::to_string(line) + ")";
        }
        return std::nullopt;
    }

    bool failed(const std::string& what) {
        fail(what);
        return false;
    }

    bool at(std::string_view s) const { return m_text.substr(m_pos, s.size()) == s; }

    void skipSpace() {
        while (m_pos < m_text.size() && isSpace(m_text[m_pos]))
            ++m_pos;
    }

    // Moves past the next occurrence of end; false (with the error) when there is none.
    bool skipPast(std::string_view end, const char* what) {
        const std::size_t found = m_text.find(end, m_pos);
        if (found == std::string_view::npos) {
            fail(std::string("unterminated ") + what);
            return false;
        }
        m_pos = found + end.size();
        return true;
    }

    // A document type declaration: skipped to its closing '>', over an internal subset in
    // brackets and quoted strings, without reading any declaration in it.
    bool skipDoctype() {
        int brackets = 0;
        char quote = 0;
        for (; m_pos < m_text.size(); ++m_pos) {
            const char c = m_text[m_pos];
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                --brackets;
            } else if (c == '>' && brackets <= 0) {
                ++m_pos;
                return true;
            }
        }
        fail("unterminated document type declaration");
        return false;
    }

    // Space, comments and processing instructions (and, before the root, the XML
    // declaration and a document type declaration).
    bool skipMisc(bool prolog) {
        for (;;) {
            skipSpace();
            if (at("<?")) {
                if (!skipPast("?>", "processing instruction"))
                    return false;
            } else if (at("<!--")) {
                if (!skipPast("-->", "comment"))
                    return false;
            } else if (prolog && at("<!DOCTYPE")) {
                if (!skipDoctype())
                    return false;
            } else {
                return true;
            }
        }
    }

    bool name(std::string& out) {
        const std::size_t start = m_pos;
        if (m_pos >= m_text.size() || !isNameStart(m_text[m_pos]))
            return false;
        while (m_pos < m_text.size() && isNameChar(m_text[m_pos]))
            ++m_pos;
        out.assign(m_text.substr(start, m_pos - start));
        return true;
    }

    // An entity or character reference after its '&'; appends what it stands for.
    bool reference(std::string& out) {
        const std::size_t semicolon = m_text.substr(m_pos, 12).find(';');
        if (semicolon == std::string_view::npos)
            return failed("a '&' that starts no reference");
        const std::size_t end = m_pos + semicolon;
        const std::string_view ref = m_text.substr(m_pos, end - m_pos);
        static constexpr std::pair<std::string_view, char> named[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto& [key, c] : named)
            if (ref == key) {
                out += c;
                m_pos = end + 1;
                return true;
            }
        if (ref.size() < 2 || ref[0] != '#')
            return failed("an unknown entity &" + shown(ref) + ";");
        const bool hex = ref[1] == 'x';
        const std::string_view digits = ref.substr(hex ? 2 : 1);
        std::uint32_t code = 0;
        if (digits.empty())
            return failed("an empty character reference");
        for (char c : digits) {
            int d = -1;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            if (d < 0)
                return failed("a malformed character reference");
            code = code * (hex ? 16 : 10) + std::uint32_t(d);
            if (code > 0x10FFFF)
                return failed("a character reference out of range");
        }
        if (code == 0 || (code >= 0xD800 && code <= 0xDFFF))
            return failed("a character reference to a character XML cannot hold");
        appendUtf8(out, code);
        m_pos = end + 1;
        return true;
    }

    bool attributeValue(std::string& out) {
        if (m_pos >= m_text.size() || (m_text[m_pos] != '"' && m_text[m_pos] != '\''))
            return failed("an attribute value without quotes");
        const char quote = m_text[m_pos++];
        while (m_pos < m_text.size() && m_text[m_pos] != quote) {
            const char c = m_text[m_pos];
            if (c == '<')
                return failed("a '<' inside an attribute value");
            if (c == '&') {
                ++m_pos;
                if (!reference(out))
                    return false;
                continue;
            }
            // Literal line breaks and tabs read as spaces, as XML's value normalisation says.
            out += isSpace(c) ? ' ' : c;
            ++m_pos;
        }
        if (m_pos >= m_text.size())
            return failed("an unterminated attribute value");
        ++m_pos;
        return true;
    }

    // An element from its '<'; depth is its own (the root's is 1).
    bool element(XmlElement& out, int depth) {
        if (depth > m_limits.maxDepth)
            return failed("elements nested deeper than " + std::to_string(m_limits.maxDepth));
        if (++m_elements > m_limits.maxElements)
            return failed("more than " + std::to_string(m_limits.maxElements) + " elements");
        ++m_pos;
        if (!name(out.name))
            return failed("a malformed element name");
        for (;;) {
            const std::size_t before = m_pos;
            skipSpace();
            if (at("/>")) {
                m_pos += 2;
                return true;
            }
            if (at(">")) {
                ++m_pos;
                break;
            }
            std::string key, value;
            if (m_pos == before || !name(key))
                return failed("a malformed attribute in <" + shown(out.name) + ">");
            skipSpace();
            if (!at("="))
                return failed("an attribute without a value in <" + shown(out.name) + ">");
            ++m_pos;
            skipSpace();
            if (!attributeValue(value))
                return false;
            if (out.attributes.size() >= kMaxAttributes)
                return failed("more than " + std::to_string(kMaxAttributes) + " attributes in <" +
                              shown(out.name) + ">");
            if (out.attribute(key) != nullptr)
                return failed("the attribute " + shown(key) + " twice in <" + shown(out.name) +
                              ">");
            out.attributes.emplace_back(std::move(key), std::move(value));
        }
        return content(out, depth);
    }

    bool content(XmlElement& out, int depth) {
        for (;;) {
            const std::size_t open = m_text.find('<', m_pos);
            if (open == std::string_view::npos) {
                m_pos = m_text.size();
                return failed(tag(out.name) + " is not closed");
            }
            m_pos = open;
            if (at("</")) {
                m_pos += 2;
                std::string closing;
                if (!name(closing) || closing != out.name)
                    return failed(tag(out.name) + " closed by another name");
                skipSpace();
                if (!at(">"))
                    return failed("a malformed closing tag");
                ++m_pos;
                return true;
            }
            if (at("<!--")) {
                if (!skipPast("-->", "comment"))
                    return false;
            } else if (at("<![CDATA[")) {
                if (!skipPast("]]>", "CDATA section"))
                    return false;
            } else if (at("<?")) {
                if (!skipPast("?>", "processing instruction"))
                    return false;
            } else {
                out.children.emplace_back();
                if (!element(out.children.back(), depth + 1))
                    return false;
            }
        }
    }

    std::string_view m_text;
    XmlLimits m_limits;
    std::size_t m_pos = 0;
    std::size_t m_elements = 0;
    std::string m_error;
};

} // namespace

std::optional<XmlElement> parseXml(std::string_view text, const XmlLimits& limits,
                                   std::string& error) {
    Parser parser(text, limits);
    std::optional<XmlElement> root = parser.document();
    error = root ? std::string() : parser.error();
    return root;
}

std::string textForMessage(std::string_view text, std::size_t maxLength) {
    std::string out;
    for (char c : text.substr(0, maxLength))
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return text.size() > maxLength ? out + "..." : out;
}

// The length of the well-formed UTF-8 sequence at the start of text (no overlong form, no
// surrogate, nothing past U+10FFFF), or 0.
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else
        return 0;
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

std::string escapeXmlAttribute(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x80) {
                const std::size_t length = utf8Length(text.substr(i));
                // Bytes that are not UTF-8 would make the whole file unreadable to others.
                out += length == 0 ? std::string_view("\xEF\xBF\xBD") : text.substr(i, length);
                i += std::max<std::size_t>(length, 1);
                continue;
            }
            if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
                out += c;
        }
        ++i;
    }
    return out;
}

} // namespace quill
