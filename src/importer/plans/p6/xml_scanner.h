#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A forward-only reader of an XML document held in memory as UTF-8, for P6 XML exports.
//
// Why not pugixml, which reads Project XML: P6 writes some seventy elements per activity, and a
// tree of them costs the file's size again in memory and made reading P6 XML 1.6 times dearer per
// row than Project XML of the same rows (bench/run_p6). Reading the elements once, in order, keeps
// memory at the file's size plus what is kept of it.
namespace quorrix::importer::plans::p6 {

// A document that is not well formed, and where.
struct XmlError {
    std::size_t offset;
    const char* what;
};

class XmlScanner {
public:
    enum class Token { Start, End, Text, EndOfDocument };

    // `document` must outlive the scanner; a UTF-8 byte-order mark is skipped.
    explicit XmlScanner(std::string_view document);

    // The next start tag, end tag or text; an empty element gives its start and its end. Throws
    // XmlError when the document is not well formed: unclosed tags, comments or quotes, an end tag
    // that does not match, text or a second element outside the root, a document type definition
    // (never written by P6, and the way to entity expansions), nesting beyond reason.
    Token next();

    // Of the last start or end tag: the element's name without its prefix.
    std::string_view name() const { return name_; }
    // Of the last start tag: the raw value of the attribute with this name (prefix dropped), or
    // an empty view.
    std::string_view attribute(std::string_view localName) const;
    // Of the last text: its characters as written (references not yet replaced), and whether it
    // was a CDATA section.
    std::string_view text() const { return text_; }
    bool cdata() const { return cdata_; }
    std::size_t offset() const { return static_cast<std::size_t>(p_ - begin_); }

    // Consumes the content and end of the element whose start tag was the last token.
    void skipElement();

private:
    [[noreturn]] void fail(const char* what) const;
    // The name at p_, and in `local` its part after any prefix.
    std::string_view readName(std::string_view& local);
    void skipBlanks();

    const char* begin_;
    const char* p_;
    const char* end_;
    struct Open {
        std::string_view qualified, local;
    };
    std::vector<Open> open_;  // the elements not yet ended
    std::vector<std::pair<std::string_view, std::string_view>> attributes_;
    std::string_view name_, text_;
    bool cdata_ = false;
    bool pendingEnd_ = false;  // the last start tag closed itself
    bool rootSeen_ = false;
};

// Appends text as XML means it: character references and the five entities replaced (an unknown
// one is kept as written), CR LF and CR as LF. CDATA keeps its characters but for line ends.
void appendXmlText(std::string& out, std::string_view raw, bool cdata);

}  // namespace quorrix::importer::plans::p6
