#pragma once

#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <optional>
#include <vector>

#include "importer/automation/automation.h"
#include "importer/workbook/byte_log.h"

namespace quorrix::importer::workbook {

// Excel's sheet size.
inline constexpr long kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;
// The longest text a cell holds.
inline constexpr qsizetype kMaxCellText = 32767;
// The widest column, in characters.
inline constexpr double kMaxColumnWidth = 255;

// A cell as stored: nothing, text (UTF-8), a number, or a date-time kept as the wall-clock
// milliseconds since 1899-12-30 00:00, the origin of the spreadsheet's serial dates. The text
// is valid until the workbook changes or is read again.
struct CellView {
    enum class Kind : std::uint8_t { Empty, Text, Number, DateTime };
    Kind kind = Kind::Empty;
    double number = 0;
    std::int64_t msecs = 0;
    std::string_view text;
};

// A rectangle of cells, 1-based and inclusive; the first cell is the active one.
struct CellRange {
    long firstRow = 1;
    int firstColumn = 1;
    long lastRow = 1;
    int lastColumn = 1;
    friend bool operator==(const CellRange&, const CellRange&) = default;
};

// Where a row's cells are: one record of the workbook's byte log (12 bytes a row).
class RowSlot {
public:
    std::uint64_t offset() const { return offsetLow_ | (std::uint64_t(offsetHigh_) << 32); }
    void setOffset(std::uint64_t offset) {
        offsetLow_ = static_cast<std::uint32_t>(offset);
        offsetHigh_ = static_cast<std::uint16_t>(offset >> 32);
    }
    std::uint32_t bytes = 0;
    std::uint16_t cells = 0;  // up to the 16,384 columns of a sheet

private:
    std::uint16_t offsetHigh_ = 0;
    std::uint32_t offsetLow_ = 0;
};
static_assert(sizeof(RowSlot) == 12);

// The rows of a sheet, in blocks, so that growing never holds two copies of the table.
class RowTable {
public:
    std::size_t size() const { return size_; }
    void resize(std::size_t size) {
        while (blocks_.size() * kBlock < size) blocks_.push_back(std::make_unique<RowSlot[]>(kBlock));
        size_ = std::max(size_, size);
    }
    RowSlot& operator[](std::size_t r) { return blocks_[r / kBlock][r % kBlock]; }
    const RowSlot& operator[](std::size_t r) const { return blocks_[r / kBlock][r % kBlock]; }

private:
    static constexpr std::size_t kBlock = 1024;
    std::vector<std::unique_ptr<RowSlot[]>> blocks_;
    std::size_t size_ = 0;
};

// The indents of the cells of one column, in steps.
struct ColumnIndents {
    int column = 0;
    std::vector<std::uint8_t> rows;  // the indent of row r at [r - 1]; rows past its end have none
};

struct SheetData {
    QString name;
    std::uint64_t id = 0;        // the sheet's own number, never given to another sheet
    std::size_t handed = 0;      // rows [0, handed) are handed over to the workbook's row sink
    RowTable rows;               // rows[r - 1]; rows past the last written are absent
    std::vector<double> widths;  // width in characters of column c at [c - 1]; 0: the standard width
    CellRange selection;

    // The view and the outline; a new sheet has none of them.
    long frozenRows = 0;  // rows and columns kept in view while the rest scrolls
    int frozenColumns = 0;
    std::optional<CellRange> autoFilter;
    bool summaryRowAbove = false;         // an outline's summary rows stand above their details
    std::vector<std::uint8_t> rowLevels;  // outline level - 1 of row r at [r - 1]; rows past its end: 0
    std::vector<ColumnIndents> indents;   // the columns that have indented cells

    // Row r counted from 0: its outline level - 1 (0 to 7), and the indent of its cell in `column`.
    int rowLevel(std::size_t r) const { return r < rowLevels.size() ? rowLevels[r] : 0; }
    int indent(std::size_t r, int column) const {
        for (const ColumnIndents& c : indents)
            if (c.column == column) return r < c.rows.size() ? c.rows[r] : 0;
        return 0;
    }
    // Whether row r (from 0) goes to the file: it has cells or an outline level.
    bool holdsRow(std::size_t r) const { return rows[r].cells != 0 || rowLevel(r) != 0; }
};

// A row's cells as the workbook keeps them: valid until the workbook changes or is read again.
struct RowRecord {
    const char* data = nullptr;
    std::uint32_t bytes = 0;
    std::uint16_t cells = 0;
};

// Calls `visit(column, cell)` for every cell of a row record that holds something.
void visitRecord(const RowRecord& record, const std::function<void(int column, const CellView& cell)>& visit);

// Where a workbook hands each row it is done with (MemoryWorkbook::setRowSink): a row is done once
// a later row of its sheet is written or another sheet is made active.
class RowSink {
public:
    virtual ~RowSink() = default;
    // Row `row` (1-based) of `sheet`, whose cells are the workbook's record of it. False when the
    // sink has given up: the workbook hands it nothing more.
    virtual bool row(const SheetData& sheet, long row, const RowRecord& record) = 0;
    // The workbook changed a row it had handed over: what the sink made of the rows is of no use.
    virtual void abandon() = 0;
};

// What the application settings that a workbook obeys are now.
struct SpreadsheetSettings {
    bool displayAlerts = true;
};

// A workbook held in memory that behaves as a new workbook of the spreadsheet application:
// three sheets "Sheet1" to "Sheet3", the first one active and selected at A1. Cells cost a few
// bytes each: rows are written as compact records (text as UTF-8, whole numbers and whole-minute
// date-times in four bytes), older rows kept in a temporary file rather than in memory.
class MemoryWorkbook : public Workbook {
public:
    explicit MemoryWorkbook(std::shared_ptr<const SpreadsheetSettings> settings = nullptr);
    ~MemoryWorkbook() override;

    // From now on the workbook hands each row it is done with to `sink` (the .xlsx file written
    // ahead, XlsxStream), until the sink gives up or is abandoned.
    void setRowSink(std::shared_ptr<RowSink> sink) { sink_ = std::move(sink); }

    // ---- Workbook ----
    void setActiveSheetCell(long row, int column, const Value& value) override;
    void autoFitActiveSheetColumns() override;
    void autoFitSheetColumns(int k) override;
    void selectActiveSheetRange(const QString& reference) override;
    void freezeActiveSheetPanes(long rows, int columns) override;
    void autoFilterActiveSheetRange(const QString& reference) override;
    void setActiveSheetSummaryRowAbove(bool above) override;
    void setActiveSheetRowOutlineLevel(long row, int level) override;
    void setActiveSheetCellIndent(long row, int column, int level) override;
    int sheetsCount() override;
    void setSheetName(int k, const QString& name) override;
    void addSheetAfterLast() override;
    // While alerts are on, the confirmation that the spreadsheet application would ask for goes
    // unanswered in an application nobody sees: it counts as declined and the sheet stays.
    void deleteSheet(const QString& name) override;
    void selectSheet(int k) override;

    // ---- what the workbook holds ----
    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    const SheetData& sheet(int k) const;  // 1-based; throws Failure 9 for a missing sheet
    const std::vector<SheetData>& sheets() const { return sheets_; }
    int activeSheet() const { return active_ + 1; }  // 1-based
    Value cell(int sheet, long row, int column) const;
    long usedRows(int sheet) const;
    int usedColumns(int sheet) const;
    // The fitted width of a column in characters; nothing while it has the standard width.
    std::optional<double> columnWidth(int sheet, int column) const;
    // Calls `visit(row, column, cell)` for every cell of sheet k that holds something, row by
    // row, each row from its first column on. `visit` must not change the workbook.
    void visitCells(int k, const std::function<void(long row, int column, const CellView& cell)>& visit) const;
    // The record of row r (0-based) of a sheet of this workbook.
    RowRecord record(const SheetData& sheet, std::size_t r) const;

private:
    int indexOfName(const QString& name) const;
    int checkedIndex(int k) const;
    void checkNewName(const QString& name, int renamed) const;
    SheetData newSheet(const QString& name);
    // Hands the rows of a sheet before row r (0-based) to the sink; a change to a row already
    // handed over abandons the sink.
    void handOver(SheetData& sheet, std::size_t r);
    void leaveActiveSheet();

    std::shared_ptr<const SpreadsheetSettings> settings_;
    std::vector<SheetData> sheets_;
    // The cells of every sheet, row by row, compactly encoded.
    std::unique_ptr<ByteLog> log_;
    int active_ = 0;
    int lastNumber_ = 3;  // the number in the name of the last sheet added
    std::uint64_t lastId_ = 0;
    std::shared_ptr<RowSink> sink_;
};

}  // namespace quorrix::importer::workbook
