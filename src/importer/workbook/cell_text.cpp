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

std::string fileCellText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const auto n = static_cast<qsizetype>(utf8.size());
    for (qsizetype i = 0; i < n; ++i) {
        const auto byte = static_cast<unsigned char>(utf8[static_cast<std::size_t>(i)]);
        if (byte == '_' && escapeAt(utf8, i)) {
            appendEscape(out, '_');  // the "x" and the rest follow as they are
            continue;
        } else if (byte < 0x20 && needsEscape(byte)) {
            appendEscape(out, byte);
            continue;
        } else if (byte == 0xEF && i + 2 < n && static_cast<unsigned char>(utf8[static_cast<std::size_t>(i) + 1]) == 0xBF &&
                   (static_cast<unsigned char>(utf8[static_cast<std::size_t>(i) + 2]) & 0xFE) == 0xBE) {
            // U+FFFE and U+FFFF
            appendEscape(out, 0xFFFEu | (static_cast<unsigned char>(utf8[static_cast<std::size_t>(i) + 2]) & 1u));
            i += 2;
            continue;
        }
        out += static_cast<char>(byte);
    }
    return out;
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
