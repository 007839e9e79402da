#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <vector>
#include <xlsxwriter.h>

#include "importer/workbook/memory_workbook.h"

// What the two ways of writing an .xlsx file (all at once at the end, or row by row while the
// workbook is filled) share: the workbook library's objects, the cells as the library gets them,
// and its failures as the one line the user is shown.
namespace quorrix::importer::workbook::xlsx {

// Throws the Failure "The workbook could not be written: <why>."
[[noreturn]] void cannotWrite(const QString& why);
// The system's description of an errno value, in lower case.
QString systemError(int error);
// Throws cannotWrite with the library's description unless `error` is LXW_NO_ERROR.
void check(lxw_error error);

// While it lives, the workbook library's own diagnostic lines go nowhere: its failures reach the
// user as one line through the Failure thrown. It redirects the process's standard error, so it
// is held only briefly, on the thread that reports.
class QuietLibrary {
public:
    QuietLibrary();
    ~QuietLibrary();
    QuietLibrary(const QuietLibrary&) = delete;
    QuietLibrary& operator=(const QuietLibrary&) = delete;

private:
    int saved_ = -1;
};

// A workbook of the library being written to the file at `name`, with the two date formats its
// cells use; closed (and so freed) however the writing ends. Rows go out in order and are kept
// nowhere else (the library's constant-memory mode). The library's temporary files go to a
// private folder of the workbook's own in the temporary folder, and a failure to write any of
// them fails the workbook as a failure to write the file itself does.
class LibraryWorkbook {
public:
    LibraryWorkbook(const QByteArray& name, bool huge);
    ~LibraryWorkbook();
    LibraryWorkbook(const LibraryWorkbook&) = delete;
    LibraryWorkbook& operator=(const LibraryWorkbook&) = delete;

    lxw_workbook* book() const { return book_; }
    lxw_worksheet* addSheet(const QString& name);
    // Gives a sheet what is set on it apart from its cells and rows: column widths, selection,
    // activity, frozen panes, autofilter and where the outline's summary rows stand.
    void finishSheet(lxw_worksheet* out, const SheetData& sheet, bool active);
    // Writes the file; throws Failure when it cannot be written.
    void close();

    // Writes one cell, indented by `indent` steps. It may be called on another thread than the
    // one that made the workbook, one thread at a time: a cell's format gets its number in the
    // file at its first use.
    lxw_error writeCell(lxw_worksheet* out, long row, int column, const CellView& cell, std::string& scratch,
                        int indent = 0) const;
    // Gives a row (1-based) its outline level - 1, before or after its cells and before any later
    // row of the sheet; the same threads as writeCell.
    static lxw_error setRowLevel(lxw_worksheet* out, long row, int level);

private:
    // The private folder of the library's temporary files, made in the temporary folder and
    // removed again; the first errno on one of its files.
    struct TemporaryFolder {
        TemporaryFolder();
        ~TemporaryFolder();
        TemporaryFolder(const TemporaryFolder&) = delete;
        TemporaryFolder& operator=(const TemporaryFolder&) = delete;
        QByteArray path;
        std::shared_ptr<std::atomic<int>> failed = std::make_shared<std::atomic<int>>(0);
    };

    // Throws the first failure on a temporary file, if any.
    void checkTemporaryFiles() const;

    TemporaryFolder temporary_;

    enum FormatKind { kGeneral, kDateTime, kDate, kFormatKinds };

    lxw_workbook* book_ = nullptr;
    std::vector<std::unique_ptr<char[]>> rowBuffers_;  // live as long as the library's row files
    // The format of each kind of cell at each indent; [kGeneral][0] is none. All are made at the
    // start, where the library's list of formats is changed on one thread only; a format never
    // used does not reach the file.
    lxw_format* formats_[kFormatKinds][kMaxIndentLevel + 1] = {};
};

// Whether parts of the file may pass 4 GB and need the zip format's large extensions.
bool isHuge(std::size_t cells);

}  // namespace quorrix::importer::workbook::xlsx
