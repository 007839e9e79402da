#include "importer/workbook/cell_text.h"

#include <cstdio>

namespace quorrix::importer::workbook {

namespace {

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

char asciiAt(std::string_view text, qsizetype k) { return text[static_cast<std::size_t>(k)]; }
char asciiAt(const QString& text, qsizetype k) { return text[k].unicode() < 128 ? static_cast<char>(text[k].unicode()) : 0; }

// True when `text` holds "_xHHHH_" at `i`.
template <class Text>
bool escapeAt(const Text& text, qsizetype i) {
    if (i + 7 > static_cast<qsizetype>(text.size())) return false;
    const auto at = [&](qsizetype k) { return asciiAt(text, k); };
    if (at(i) != '_' || at(i + 1) != 'x' || at(i + 6) != '_') return false;
    for (qsizetype k = i + 2; k < i + 6; ++k)
        if (!isHex(at(k))) return false;
    return true;
}

bool needsEscape(char32_t c) { return (c < 0x20 && c != '\t' && c != '\n') || c == 0xFFFE || c == 0xFFFF; }

void appendEscape(std::string& out, unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "_x%04X_", code);
    out.append(buffer, 7);
}

}  // namespace

void fileCellText(std::string_view utf8, std::string& out) {
    out.clear();
    out.reserve(utf8.size());
    const auto n = static_cast<qsizetype>(utf8.size());
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(utf8[static_cast<std::size_t>(k)]); };
    qsizetype plain = 0;  // the start of the bytes not yet copied, all of them as they are
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char byte = at(i);
        if (byte >= 0x20 && byte != '_' && byte != 0xEF) continue;
        qsizetype skip = 0;
        unsigned code = 0;
        if (byte == '_' && escapeAt(utf8, i)) {
            code = '_';  // the "x" and the rest follow as they are
            skip = 1;
        } else if (byte < 0x20 && needsEscape(byte)) {
            code = byte;
            skip = 1;
        } else if (byte == 0xEF && i + 2 < n && at(i + 1) == 0xBF && (at(i + 2) & 0xFE) == 0xBE) {
            code = 0xFFFEu | (at(i + 2) & 1u);  // U+FFFE and U+FFFF
            skip = 3;
        }
        if (skip == 0) continue;
        out.append(utf8.data() + plain, static_cast<std::size_t>(i - plain));
        appendEscape(out, code);
        plain = i + skip;
        i += skip - 1;
    }
    out.append(utf8.data() + plain, static_cast<std::size_t>(n - plain));
}

qsizetype fileCellLength(const QString& text) {
    qsizetype length = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            ++i;  // one character beyond the basic plane
            ++length;
        } else if (needsEscape(c)) {
            length += 7;
        } else if (c == '_' && escapeAt(text, i)) {
            length += 7;  // "_x005F_" in place of the underscore
        } else {
            ++length;
        }
    }
    return length;
}

}  // namespace quorrix::importer::workbook
