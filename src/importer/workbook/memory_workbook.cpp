#include "importer/workbook/memory_workbook.h"

#include <QDate>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "importer/workbook/cell_text.h"
#include "importer/workbook/shown_values.h"
#include "platform/failure.h"

namespace quorrix::importer::workbook {

namespace {

constexpr int kApplicationDefined = 1004;
const qint64 kOriginJulianDay = QDate(1899, 12, 30).toJulianDay();

[[noreturn]] void subscriptOutOfRange() {
    throw Failure(failure_number::kSubscriptOutOfRange, QStringLiteral("Subscript out of range"));
}

[[noreturn]] void applicationDefined() {
    throw Failure(kApplicationDefined, QStringLiteral("Application-defined or object-defined error"));
}

QDateTime fromWallMsecs(std::int64_t msecs) {
    std::int64_t days = msecs / shown::kMsecsPerDay;
    std::int64_t rest = msecs % shown::kMsecsPerDay;
    if (rest < 0) {
        rest += shown::kMsecsPerDay;
        --days;
    }
    return wallClock(QDate::fromJulianDay(kOriginJulianDay + days), QTime::fromMSecsSinceStartOfDay(static_cast<int>(rest)));
}

// "A1", "$B$7", "a1:c3": the column letters and the row of one cell.
bool parseCell(const QString& text, long& row, int& column) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && text[i] == QLatin1Char('$')) ++i;
    long col = 0;
    int letters = 0;
    while (i < n && text[i].isLetter() && text[i].unicode() < 128) {
        col = col * 26 + (text[i].toUpper().unicode() - 'A' + 1);
        if (++letters > 3) return false;
        ++i;
    }
    if (letters == 0) return false;
    if (i < n && text[i] == QLatin1Char('$')) ++i;
    long r = 0;
    int digits = 0;
    while (i < n && text[i].unicode() >= '0' && text[i].unicode() <= '9') {
        r = r * 10 + (text[i].unicode() - '0');
        if (++digits > 7) return false;
        ++i;
    }
    if (digits == 0 || i != n) return false;
    if (r < 1 || r > kMaxRows || col < 1 || col > kMaxColumns) return false;
    row = r;
    column = static_cast<int>(col);
    return true;
}

// "A1", "b2:$C$4": a cell or a rectangle, its corners in any order.
std::optional<CellRange> parseRange(const QString& reference) {
    const QString text = reference.trimmed();
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    CellRange range;
    if (colon < 0) {
        if (!parseCell(text, range.firstRow, range.firstColumn)) return std::nullopt;
        range.lastRow = range.firstRow;
        range.lastColumn = range.firstColumn;
        return range;
    }
    long r1 = 0, r2 = 0;
    int c1 = 0, c2 = 0;
    if (!parseCell(text.left(colon), r1, c1) || !parseCell(text.mid(colon + 1), r2, c2)) return std::nullopt;
    return CellRange{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
}

bool isValidSheetName(const QString& name) {
    if (name.isEmpty() || name.size() > 31) return false;
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\''))) return false;
    for (const QChar c : name)
        if (c == QLatin1Char(':') || c == QLatin1Char('\\') || c == QLatin1Char('/') || c == QLatin1Char('?') ||
            c == QLatin1Char('*') || c == QLatin1Char('[') || c == QLatin1Char(']') || c.category() == QChar::Other_Control ||
            c.unicode() >= 0xFFFE)  // no file could carry these
            return false;
    return name.compare(QLatin1String("History"), Qt::CaseInsensitive) != 0;
}

// ---- the cell records ------------------------------------------------------------------------
// A row is its cells from column 1 on, each a tag byte and what the tag says follows.
enum Tag : unsigned char {
    kEmpty = 0,
    kText = 1,         // length (7 bits a byte, low first), then the UTF-8 bytes
    kWhole = 2,        // a whole number in 4 bytes
    kNumber = 3,       // a double in 8 bytes
    kMinutes = 4,      // a date-time at a whole minute: minutes since the origin in 4 bytes
    kMilliseconds = 5  // any other date-time: milliseconds since the origin in 8 bytes
};

template <typename T>
void put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

template <typename T>
T take(const char*& p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    p += sizeof(T);
    return value;
}

void putText(std::string& out, const QByteArray& utf8) {
    out += static_cast<char>(kText);
    auto size = static_cast<std::uint32_t>(utf8.size());
    do {
        unsigned char byte = size & 0x7F;
        size >>= 7;
        if (size) byte |= 0x80;
        out += static_cast<char>(byte);
    } while (size);
    out.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

void putNumber(std::string& out, double value) {
    if (value == std::trunc(value) && std::fabs(value) < 2147483647.0 && !(value == 0 && std::signbit(value))) {
        out += static_cast<char>(kWhole);
        put<std::int32_t>(out, static_cast<std::int32_t>(value));
    } else {
        out += static_cast<char>(kNumber);
        put<double>(out, value);
    }
}

void putDateTime(std::string& out, std::int64_t msecs) {
    if (msecs >= 0 && msecs % 60000 == 0 && msecs / 60000 <= UINT32_MAX) {
        out += static_cast<char>(kMinutes);
        put<std::uint32_t>(out, static_cast<std::uint32_t>(msecs / 60000));
    } else {
        out += static_cast<char>(kMilliseconds);
        put<std::int64_t>(out, msecs);
    }
}

const char* decode(const char* p, CellView& cell) {
    cell = CellView{};
    switch (static_cast<unsigned char>(*p++)) {
    case kText: {
        std::uint32_t size = 0;
        int shift = 0;
        unsigned char byte;
        do {
            byte = static_cast<unsigned char>(*p++);
            size |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
            shift += 7;
        } while (byte & 0x80);
        cell.kind = CellView::Kind::Text;
        cell.text = std::string_view(p, size);
        return p + size;
    }
    case kWhole:
        cell.kind = CellView::Kind::Number;
        cell.number = take<std::int32_t>(p);
        return p;
    case kNumber:
        cell.kind = CellView::Kind::Number;
        cell.number = take<double>(p);
        return p;
    case kMinutes:
        cell.kind = CellView::Kind::DateTime;
        cell.msecs = std::int64_t(take<std::uint32_t>(p)) * 60000;
        return p;
    case kMilliseconds:
        cell.kind = CellView::Kind::DateTime;
        cell.msecs = take<std::int64_t>(p);
        return p;
    default:
        return p;
    }
}

Value valueOf(const CellView& cell) {
    switch (cell.kind) {
    case CellView::Kind::Text: return QString::fromUtf8(cell.text.data(), static_cast<qsizetype>(cell.text.size()));
    case CellView::Kind::Number: return cell.number;
    case CellView::Kind::DateTime: return fromWallMsecs(cell.msecs);
    case CellView::Kind::Empty: break;
    }
    return {};
}

}  // namespace

void visitRecord(const RowRecord& record, const std::function<void(int, const CellView&)>& visit) {
    const char* p = record.data;
    CellView cell;
    for (std::uint32_t c = 0; c < record.cells; ++c) {
        p = decode(p, cell);
        if (cell.kind != CellView::Kind::Empty) visit(static_cast<int>(c + 1), cell);
    }
}

MemoryWorkbook::MemoryWorkbook(std::shared_ptr<const SpreadsheetSettings> settings)
    : settings_(settings ? std::move(settings) : std::make_shared<const SpreadsheetSettings>()),
      log_(std::make_unique<ByteLog>()) {
    for (int k = 1; k <= 3; ++k) sheets_.push_back(newSheet(QStringLiteral("Sheet%1").arg(k)));
}

MemoryWorkbook::~MemoryWorkbook() = default;

SheetData MemoryWorkbook::newSheet(const QString& name) {
    SheetData sheet;
    sheet.name = name;
    sheet.id = ++lastId_;
    return sheet;
}

RowRecord MemoryWorkbook::record(const SheetData& sheet, std::size_t r) const {
    const RowSlot& slot = sheet.rows[r];
    return {log_->view(slot.offset(), slot.bytes), slot.bytes, slot.cells};
}

void MemoryWorkbook::handOver(SheetData& sheet, std::size_t r) {
    if (!sink_) return;
    if (r < sheet.handed) {
        sink_->abandon();
        sink_.reset();
        return;
    }
    for (std::size_t q = sheet.handed; q < r && q < sheet.rows.size(); ++q) {
        if (!sheet.holdsRow(q)) continue;
        if (!sink_->row(sheet, static_cast<long>(q + 1), record(sheet, q))) {
            sink_.reset();
            return;
        }
    }
    sheet.handed = r;
}

void MemoryWorkbook::leaveActiveSheet() {
    SheetData& sheet = sheets_[static_cast<std::size_t>(active_)];
    handOver(sheet, std::max(sheet.handed, sheet.rows.size()));
}

int MemoryWorkbook::checkedIndex(int k) const {
    if (k < 1 || k > static_cast<int>(sheets_.size())) subscriptOutOfRange();
    return k - 1;
}

int MemoryWorkbook::indexOfName(const QString& name) const {
    for (std::size_t i = 0; i < sheets_.size(); ++i)
        if (sheets_[i].name.compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
}

void MemoryWorkbook::checkNewName(const QString& name, int renamed) const {
    if (!isValidSheetName(name))
        throw Failure(kApplicationDefined, QStringLiteral("That sheet name is not valid: a name has 1 to 31 characters, "
                                                          "none of them : \\ / ? * [ ]."));
    const int existing = indexOfName(name);
    if (existing >= 0 && existing != renamed)
        throw Failure(kApplicationDefined, QStringLiteral("That name is already taken. Try a different one."));
}

void MemoryWorkbook::setActiveSheetCell(long row, int column, const Value& value) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) applicationDefined();
    std::string cell;
    if (const auto* text = std::get_if<QString>(&value)) {
        // The limit holds for the text as the file carries it too, where a character XML cannot
        // hold takes seven.
        if (text->size() > kMaxCellText || (text->size() > kMaxCellText / 7 && fileCellLength(*text) > kMaxCellText))
            applicationDefined();
        if (!text->isEmpty()) putText(cell, text->toUtf8());
    } else if (const auto* number = std::get_if<double>(&value)) {
        if (!std::isfinite(*number)) throw Failure(failure_number::kOverflow, QStringLiteral("Overflow"));
        putNumber(cell, *number);
    } else if (const auto* dateTime = std::get_if<QDateTime>(&value)) {
        if (shown::isSpreadsheetDate(*dateTime))
            putDateTime(cell, shown::wallMsecs(*dateTime));
        else if (dateTime->isValid())  // dates the spreadsheet cannot count are kept as they are shown
            putText(cell, shown::dateTimeText(shown::wallMsecs(*dateTime)).toUtf8());
    }
    const bool empty = cell.empty();
    if (empty) cell += static_cast<char>(kEmpty);

    SheetData& sheet = sheets_[static_cast<std::size_t>(active_)];
    auto& rows = sheet.rows;
    const auto r = static_cast<std::size_t>(row - 1);
    const auto c = static_cast<std::uint32_t>(column - 1);
    if (r >= rows.size()) {
        if (empty) return;
        rows.resize(r + 1);
    }
    if (empty && c >= rows[r].cells) return;  // nothing changes
    handOver(sheet, r);
    RowSlot& slot = rows[r];

    if (c >= slot.cells) {
        // Past the row's last cell: the usual case, which adds to the row's record in place.
        std::string added(c - slot.cells, static_cast<char>(kEmpty));
        added += cell;
        if (slot.bytes == 0) {
            slot.setOffset(log_->append(added.data(), added.size()));
        } else if (log_->canExtend(slot.offset(), slot.bytes)) {
            log_->extend(slot.offset(), added.data(), added.size());
        } else {
            std::string record(log_->view(slot.offset(), slot.bytes), slot.bytes);
            record += added;
            slot.setOffset(log_->append(record.data(), record.size()));
        }
        slot.bytes += static_cast<std::uint32_t>(added.size());
        slot.cells = static_cast<std::uint16_t>(c + 1);
        return;
    }

    // Within the row: the row is written anew with the cell replaced.
    std::string record(log_->view(slot.offset(), slot.bytes), slot.bytes);
    const char* begin = record.data();
    const char* p = begin;
    CellView ignored;
    for (std::uint32_t i = 0; i < c; ++i) p = decode(p, ignored);
    const char* after = decode(p, ignored);
    std::string changed(begin, p);
    changed += cell;
    changed.append(after, static_cast<std::size_t>(record.data() + record.size() - after));
    std::uint32_t cells = slot.cells;
    if (empty && c + 1 == cells) {  // the last cell cleared: the row ends before it
        changed.pop_back();
        --cells;
    }
    if (cells == 0) {
        slot = RowSlot{};
        return;
    }
    slot.setOffset(log_->append(changed.data(), changed.size()));
    slot.bytes = static_cast<std::uint32_t>(changed.size());
    slot.cells = static_cast<std::uint16_t>(cells);
}

void MemoryWorkbook::visitCells(int k, const std::function<void(long, int, const CellView&)>& visit) const {
    const SheetData& data = sheet(k);
    for (std::size_t r = 0; r < data.rows.size(); ++r) {
        if (data.rows[r].cells == 0) continue;
        visitRecord(record(data, r), [&](int column, const CellView& cell) { visit(static_cast<long>(r + 1), column, cell); });
    }
}

void MemoryWorkbook::autoFitActiveSheetColumns() { autoFitSheetColumns(active_ + 1); }

void MemoryWorkbook::autoFitSheetColumns(int k) {
    const int index = checkedIndex(k);
    std::vector<int> widest;
    visitCells(k, [&](long, int column, const CellView& cell) {
        int pixels = 0;
        switch (cell.kind) {
        case CellView::Kind::Text: pixels = shown::textPixels(cell.text); break;
        case CellView::Kind::Number: pixels = shown::numberPixels(cell.number); break;
        case CellView::Kind::DateTime: pixels = shown::dateTimePixels(cell.msecs); break;
        case CellView::Kind::Empty: return;
        }
        const auto c = static_cast<std::size_t>(column - 1);
        if (c >= widest.size()) widest.resize(c + 1, -1);
        widest[c] = std::max(widest[c], pixels);
    });
    SheetData& data = sheets_[static_cast<std::size_t>(index)];
    if (data.widths.size() < widest.size()) data.widths.resize(widest.size(), 0);
    for (std::size_t c = 0; c < widest.size(); ++c)
        if (widest[c] >= 0) data.widths[c] = shown::widthForPixels(widest[c]);
}

void MemoryWorkbook::selectActiveSheetRange(const QString& reference) {
    const std::optional<CellRange> range = parseRange(reference);
    if (!range) throw Failure(kApplicationDefined, QStringLiteral("Method 'Range' of object '_Worksheet' failed"));
    sheets_[static_cast<std::size_t>(active_)].selection = *range;
}

void MemoryWorkbook::freezeActiveSheetPanes(long rows, int columns) {
    if (rows < 0 || rows >= kMaxRows || columns < 0 || columns >= kMaxColumns) applicationDefined();
    SheetData& sheet = sheets_[static_cast<std::size_t>(active_)];
    sheet.frozenRows = rows;
    sheet.frozenColumns = columns;
}

void MemoryWorkbook::autoFilterActiveSheetRange(const QString& reference) {
    const std::optional<CellRange> range = parseRange(reference);
    if (!range) throw Failure(kApplicationDefined, QStringLiteral("AutoFilter method of Range class failed"));
    sheets_[static_cast<std::size_t>(active_)].autoFilter = *range;
}

void MemoryWorkbook::setActiveSheetSummaryRowAbove(bool above) {
    sheets_[static_cast<std::size_t>(active_)].summaryRowAbove = above;
}

void MemoryWorkbook::setActiveSheetRowOutlineLevel(long row, int level) {
    if (row < 1 || row > kMaxRows || level < 1 || level > kMaxRowOutlineLevel) applicationDefined();
    SheetData& sheet = sheets_[static_cast<std::size_t>(active_)];
    const auto r = static_cast<std::size_t>(row - 1);
    if (sheet.rowLevel(r) == level - 1) return;
    handOver(sheet, r);
    if (r >= sheet.rowLevels.size()) sheet.rowLevels.resize(r + 1, 0);
    sheet.rowLevels[r] = static_cast<std::uint8_t>(level - 1);
    if (r >= sheet.rows.size()) sheet.rows.resize(r + 1);
}

void MemoryWorkbook::setActiveSheetCellIndent(long row, int column, int level) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns || level < 0 || level > kMaxIndentLevel)
        applicationDefined();
    SheetData& sheet = sheets_[static_cast<std::size_t>(active_)];
    const auto r = static_cast<std::size_t>(row - 1);
    if (sheet.indent(r, column) == level) return;
    handOver(sheet, r);
    auto it = std::find_if(sheet.indents.begin(), sheet.indents.end(),
                           [&](const ColumnIndents& c) { return c.column == column; });
    if (it == sheet.indents.end()) it = sheet.indents.insert(it, ColumnIndents{column, {}});
    if (r >= it->rows.size()) it->rows.resize(r + 1, 0);
    it->rows[r] = static_cast<std::uint8_t>(level);
}

int MemoryWorkbook::sheetsCount() { return sheetCount(); }

void MemoryWorkbook::setSheetName(int k, const QString& name) {
    const int index = checkedIndex(k);
    checkNewName(name, index);
    sheets_[static_cast<std::size_t>(index)].name = name;
}

void MemoryWorkbook::addSheetAfterLast() {
    leaveActiveSheet();
    QString name;
    do {
        name = QStringLiteral("Sheet%1").arg(++lastNumber_);
    } while (indexOfName(name) >= 0);
    sheets_.push_back(newSheet(name));
    active_ = static_cast<int>(sheets_.size()) - 1;
}

void MemoryWorkbook::deleteSheet(const QString& name) {
    const int index = indexOfName(name);
    if (index < 0) subscriptOutOfRange();
    if (sheets_.size() == 1)
        throw Failure(kApplicationDefined, QStringLiteral("A workbook must contain at least one visible worksheet."));
    if (settings_->displayAlerts) return;  // the confirmation is declined
    sheets_.erase(sheets_.begin() + index);
    if (index < active_ || active_ >= static_cast<int>(sheets_.size())) --active_;
}

void MemoryWorkbook::selectSheet(int k) {
    const int index = checkedIndex(k);
    if (index != active_) leaveActiveSheet();
    active_ = index;
}

const SheetData& MemoryWorkbook::sheet(int k) const { return sheets_[static_cast<std::size_t>(checkedIndex(k))]; }

Value MemoryWorkbook::cell(int sheetNumber, long row, int column) const {
    const SheetData& data = sheet(sheetNumber);
    if (row < 1 || column < 1 || static_cast<std::size_t>(row) > data.rows.size()) return {};
    const RowSlot& slot = data.rows[static_cast<std::size_t>(row - 1)];
    if (static_cast<std::uint32_t>(column) > slot.cells) return {};
    const char* p = log_->view(slot.offset(), slot.bytes);
    CellView cell;
    for (int c = 0; c < column; ++c) p = decode(p, cell);
    return valueOf(cell);
}

long MemoryWorkbook::usedRows(int sheetNumber) const {
    long used = 0;
    visitCells(sheetNumber, [&](long row, int, const CellView&) { used = std::max(used, row); });
    return used;
}

int MemoryWorkbook::usedColumns(int sheetNumber) const {
    int used = 0;
    visitCells(sheetNumber, [&](long, int column, const CellView&) { used = std::max(used, column); });
    return used;
}

std::optional<double> MemoryWorkbook::columnWidth(int sheetNumber, int column) const {
    const auto& widths = sheet(sheetNumber).widths;
    if (column < 1 || static_cast<std::size_t>(column) > widths.size() || widths[column - 1] <= 0) return std::nullopt;
    return widths[static_cast<std::size_t>(column - 1)];
}

}  // namespace quorrix::importer::workbook
