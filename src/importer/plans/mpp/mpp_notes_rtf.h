#pragma once

#include <QString>

#include "importer/plans/mpp/mpp_bytes.h"

// Task notes as Project stores them: 8-bit text, normally rich text (RTF), turned into the plain
// text Project itself shows and exports.
namespace quorrix::importer::plans::mpp {

// The plain text of a stored note: the bytes up to the first NUL, read as RTF when they start
// with "{\rtf", else as Windows-1252 text. Paragraph and line breaks become line feeds; the
// break that ends the last paragraph is dropped. Any input gives a result: unknown or broken
// syntax produces no text, group nesting and skip counts are bounded, and the work done is
// proportional to the input's length.
QString notesText(Bytes stored);

}  // namespace quorrix::importer::plans::mpp
