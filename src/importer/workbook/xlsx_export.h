#pragma once

#include <QString>
#include <memory>
#include <utility>
#include <vector>

#include "importer/workbook/memory_workbook.h"

namespace quorrix::importer::workbook {

class XlsxStream;

// Writes the workbook as an .xlsx file at `path`: every sheet in order with its name, every cell
// with its type (dates with the formats the spreadsheet gives them), the fitted column widths,
// each sheet's selected cells, and the active sheet.
//
// The file is written through one unnamed file in the destination folder and gets its name only
// when complete, so an interrupted run leaves nothing behind. An existing file of that name is
// replaced and its permission bits kept; a link to a file has the file it leads to replaced and
// stays a link. A failure, or anything at `path` that is not a file (a folder, a device, a named
// pipe, a socket, a link leading nowhere), leaves the folder as it was and throws
// quorrix::Failure with one line.
//
// `ahead`, when given, is the stream the workbook handed its rows to while it was filled: the
// file it wrote ahead is used where it can be, else the workbook is written whole.
void exportXlsx(const MemoryWorkbook& workbook, const QString& path, XlsxStream* ahead = nullptr);

// The .xlsx files of workbooks written ahead while they are filled, a stream for each. The
// workbook owns its stream (as its row sink): the stream and its thread end with the workbook, or
// when the workbook gives up on it.
class FilesAhead {
public:
    FilesAhead();
    ~FilesAhead();
    // From now on `workbook` hands the rows it is done with to a stream of its own.
    void start(MemoryWorkbook& workbook);
    // exportXlsx with the workbook's stream, if it has one; the stream is done then.
    void exportXlsx(const MemoryWorkbook& workbook, const QString& path);

private:
    std::vector<std::pair<const MemoryWorkbook*, std::weak_ptr<XlsxStream>>> streams_;
};

// Throws the Failure exportXlsx would give for `path` before writing anything: no file name, a
// missing folder, or something there that is not a file.
void checkOutputPath(const QString& path);

}  // namespace quorrix::importer::workbook
