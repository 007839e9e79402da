#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quorrix::importer::workbook {

// The form a cell's text takes inside the file. XML cannot carry the control characters (other
// than tab and line feed: a carriage return would be read back as a line feed) nor U+FFFE and
// U+FFFF; spreadsheet files write each of them as "_xHHHH_". A text that already holds such a
// sequence has its underscore written as "_x005F_" so that it reads back unchanged.
// The result replaces what `out` held; its room is reused.
void fileCellText(std::string_view utf8, std::string& out);

// The number of characters fileCellText gives for `text`, as the file format's cell limit
// counts them (one for each code point).
qsizetype fileCellLength(const QString& text);

}  // namespace quorrix::importer::workbook
