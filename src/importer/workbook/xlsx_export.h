#pragma once

#include <QString>

#include "importer/workbook/memory_workbook.h"

namespace quorrix::importer::workbook {

// Writes the workbook as an .xlsx file at `path`: every sheet in order with its name, every cell
// with its type (dates with the formats the spreadsheet gives them), the fitted column widths,
// each sheet's selected cells, and the active sheet. The file is assembled under a temporary
// name in the same folder and takes its name only when complete, replacing any file of that
// name; a failure leaves the folder as it was and throws quorrix::Failure with one line.
void exportXlsx(const MemoryWorkbook& workbook, const QString& path);

}  // namespace quorrix::importer::workbook
