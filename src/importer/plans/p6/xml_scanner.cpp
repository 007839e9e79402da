#include "importer/plans/p6/xml_scanner.h"

#include <cstring>

namespace quorrix::importer::plans::p6 {

namespace {

// Far deeper than P6 nests (five levels), shallow enough to bound a hostile file's work.
constexpr std::size_t kMaxDepth = 256;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The characters that end a name: blanks, '>', '/', '=', '<' and quotes.
struct NameStops {
    bool stop[256] = {};
    constexpr NameStops() {
        for (const char c : {' ', '\t', '\r', '\n', '>', '/', '=', '<', '"', '\''}) stop[static_cast<unsigned char>(c)] = true;
    }
};
constexpr NameStops kNameStops;

// The first '<' at or after `p`: values are short, so a plain loop first, then memchr.
const char* nextTag(const char* p, const char* end) {
    for (int k = 0; k < 32 && p < end; ++k, ++p)
        if (*p == '<') return p;
    if (p >= end) return nullptr;
    return static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
}

bool startsWith(const char* p, const char* end, std::string_view prefix) {
    return static_cast<std::size_t>(end - p) >= prefix.size() && std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

// The first occurrence of `what` at or after `p`, or nullptr.
const char* find(const char* p, const char* end, std::string_view what) {
    const std::string_view rest(p, static_cast<std::size_t>(end - p));
    const std::size_t at = rest.find(what);
    return at == std::string_view::npos ? nullptr : p + at;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The reference `name` (between '&' and ';') as a character; 0 when it is none.
char32_t reference(std::string_view name) {
    if (name == "lt") return '<';
    if (name == "gt") return '>';
    if (name == "amp") return '&';
    if (name == "quot") return '"';
    if (name == "apos") return '\'';
    if (name.size() < 2 || name[0] != '#') return 0;
    const bool hex = name[1] == 'x';
    char32_t value = 0;
    std::size_t digits = 0;
    for (std::size_t i = hex ? 2 : 1; i < name.size(); ++i, ++digits) {
        const char c = name[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return 0;
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
        if (value > 0x10FFFF) return 0;
    }
    if (digits == 0 || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return value == 0 ? 0xFFFFFFFF : value;  // &#0; (which P6 writes after some notes) stands for nothing
}

}  // namespace

XmlScanner::XmlScanner(std::string_view document)
    : begin_(document.data()), p_(document.data()), end_(document.data() + document.size()) {
    if (startsWith(p_, end_, "\xEF\xBB\xBF")) p_ += 3;
}

void XmlScanner::fail(const char* what) const { throw XmlError{offset(), what}; }

void XmlScanner::skipBlanks() {
    while (p_ < end_ && isBlank(*p_)) ++p_;
}

std::string_view XmlScanner::readName(std::string_view& local) {
    const char* start = p_;
    const char* localStart = p_;
    while (p_ < end_ && !kNameStops.stop[static_cast<unsigned char>(*p_)]) {
        if (*p_ == ':') localStart = p_ + 1;
        ++p_;
    }
    if (p_ == end_) fail("it ends inside a tag, so the file was cut short");
    local = std::string_view(localStart, static_cast<std::size_t>(p_ - localStart));
    return {start, static_cast<std::size_t>(p_ - start)};
}

std::string_view XmlScanner::attribute(std::string_view localName) const {
    for (const auto& [name, value] : attributes_)
        if (name == localName) return value;
    return {};
}

XmlScanner::Token XmlScanner::next() {
    if (pendingEnd_) {
        pendingEnd_ = false;
        name_ = open_.back().local;
        open_.pop_back();
        return Token::End;
    }
    for (;;) {
        if (p_ >= end_) {
            if (!open_.empty()) fail("it ends inside an element, so the file was cut short");
            if (!rootSeen_) fail("it holds no element");
            return Token::EndOfDocument;
        }
        if (*p_ != '<') {
            const char* lt = nextTag(p_, end_);
            const char* stop = lt ? lt : end_;
            const std::string_view text(p_, static_cast<std::size_t>(stop - p_));
            p_ = stop;
            if (open_.empty()) {
                for (const char c : text)
                    if (!isBlank(c)) fail("it holds text outside its root element");
                continue;
            }
            text_ = text;
            cdata_ = false;
            return Token::Text;
        }
        // Markup by its second character: most are start and end tags.
        const char second = p_ + 1 < end_ ? p_[1] : '\0';
        if (second == '!' || second == '?') {
            if (startsWith(p_, end_, "<!--")) {
                const char* close = find(p_ + 4, end_, "-->");
                if (!close) fail("a comment is not closed, so the file was cut short");
                p_ = close + 3;
                continue;
            }
            if (second == '?') {
                const char* close = find(p_ + 2, end_, "?>");
                if (!close) fail("a processing instruction is not closed, so the file was cut short");
                p_ = close + 2;
                continue;
            }
            if (startsWith(p_, end_, "<![CDATA[")) {
                if (open_.empty()) fail("it holds text outside its root element");
                const char* close = find(p_ + 9, end_, "]]>");
                if (!close) fail("a CDATA section is not closed, so the file was cut short");
                text_ = std::string_view(p_ + 9, static_cast<std::size_t>(close - p_ - 9));
                cdata_ = true;
                p_ = close + 3;
                return Token::Text;
            }
            fail("it holds a document type definition, which P6 never writes");
        }
        if (second == '/') {
            p_ += 2;
            if (open_.empty()) fail("an end tag does not match its start tag");
            const std::string_view expected = open_.back().qualified;
            if (static_cast<std::size_t>(end_ - p_) < expected.size() ||
                std::memcmp(p_, expected.data(), expected.size()) != 0)
                fail("an end tag does not match its start tag");
            p_ += expected.size();
            skipBlanks();
            if (p_ >= end_ || *p_ != '>') fail(p_ >= end_ ? "it ends inside a tag, so the file was cut short"
                                                          : "an end tag does not match its start tag");
            ++p_;
            name_ = open_.back().local;
            open_.pop_back();
            return Token::End;
        }
        // A start tag.
        if (rootSeen_ && open_.empty()) fail("it holds a second element after its root element");
        ++p_;
        std::string_view local;
        const std::string_view name = readName(local);
        if (name.empty()) fail("a tag has no name");
        attributes_.clear();
        bool empty = false;
        for (;;) {
            const char* before = p_;
            skipBlanks();
            if (p_ >= end_) fail("it ends inside a tag, so the file was cut short");
            if (*p_ == '>') {
                ++p_;
                break;
            }
            if (*p_ == '/') {
                if (p_ + 1 >= end_ || p_[1] != '>') fail("a tag is malformed");
                p_ += 2;
                empty = true;
                break;
            }
            if (p_ == before) fail("a tag is malformed");  // attributes are set apart by blanks
            std::string_view attributeLocal;
            const std::string_view attributeName = readName(attributeLocal);
            skipBlanks();
            if (attributeName.empty() || p_ >= end_ || *p_ != '=') fail("an attribute is malformed");
            ++p_;
            skipBlanks();
            if (p_ >= end_ || (*p_ != '"' && *p_ != '\'')) fail("an attribute is malformed");
            const char quote = *p_++;
            const auto* close = static_cast<const char*>(std::memchr(p_, quote, static_cast<std::size_t>(end_ - p_)));
            if (!close) fail("it ends inside a tag, so the file was cut short");
            const std::string_view value(p_, static_cast<std::size_t>(close - p_));
            if (value.find('<') != std::string_view::npos) fail("an attribute holds a '<'");
            attributes_.emplace_back(attributeLocal, value);
            p_ = close + 1;
        }
        if (open_.size() >= kMaxDepth) fail("its elements are nested too deeply");
        open_.push_back({name, local});
        rootSeen_ = true;
        pendingEnd_ = empty;
        name_ = local;
        return Token::Start;
    }
}

void XmlScanner::skipElement() {
    for (std::size_t depth = 0;;) {
        switch (next()) {
        case Token::Start: ++depth; break;
        case Token::End:
            if (depth == 0) return;
            --depth;
            break;
        case Token::Text: break;
        case Token::EndOfDocument: fail("it ends inside an element, so the file was cut short");
        }
    }
}

void appendXmlText(std::string& out, std::string_view raw, bool cdata) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r') {
            out += '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
            continue;
        }
        if (c == '&' && !cdata) {
            // Looked for only as far as a reference can reach, so that a run of '&' stays linear.
            const std::size_t near = raw.substr(i + 1, 12).find(';');
            const std::size_t semicolon = near == std::string_view::npos ? near : i + 1 + near;
            if (semicolon != std::string_view::npos) {
                const char32_t code = reference(raw.substr(i + 1, semicolon - i - 1));
                if (code) {
                    if (code != 0xFFFFFFFF) appendUtf8(out, code);
                    i = semicolon;
                    continue;
                }
            }
        }
        out += c;
    }
}

}  // namespace quorrix::importer::plans::p6
