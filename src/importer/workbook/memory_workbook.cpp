#include "importer/workbook/memory_workbook.h"

#include <QDate>
#include <algorithm>
#include <cmath>

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

bool isValidSheetName(const QString& name) {
    if (name.isEmpty() || name.size() > 31) return false;
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\''))) return false;
    for (const QChar c : name)
        if (c == QLatin1Char(':') || c == QLatin1Char('\\') || c == QLatin1Char('/') || c == QLatin1Char('?') ||
            c == QLatin1Char('*') || c == QLatin1Char('[') || c == QLatin1Char(']') || c.category() == QChar::Other_Control)
            return false;
    return name.compare(QLatin1String("History"), Qt::CaseInsensitive) != 0;
}

SheetData newSheet(const QString& name) {
    SheetData sheet;
    sheet.name = name;
    return sheet;
}

}  // namespace

MemoryWorkbook::MemoryWorkbook(std::shared_ptr<const SpreadsheetSettings> settings)
    : settings_(settings ? std::move(settings) : std::make_shared<const SpreadsheetSettings>()) {
    for (int k = 1; k <= 3; ++k) sheets_.push_back(newSheet(QStringLiteral("Sheet%1").arg(k)));
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
    Cell cell;
    if (const auto* text = std::get_if<QString>(&value)) {
        if (text->size() > kMaxCellText) applicationDefined();
        if (!text->isEmpty()) {
            if (texts_.size() >= UINT32_MAX) throw Failure(7, QStringLiteral("Out of memory"));
            cell.kind = Cell::Kind::Text;
            cell.text = static_cast<std::uint32_t>(texts_.size());
            texts_.push_back(*text);
        }
    } else if (const auto* number = std::get_if<double>(&value)) {
        if (!std::isfinite(*number)) throw Failure(failure_number::kOverflow, QStringLiteral("Overflow"));
        cell.kind = Cell::Kind::Number;
        cell.number = *number;
    } else if (const auto* dateTime = std::get_if<QDateTime>(&value)) {
        if (shown::isSpreadsheetDate(*dateTime)) {
            cell.kind = Cell::Kind::DateTime;
            cell.msecs = shown::wallMsecs(*dateTime);
        } else if (dateTime->isValid()) {
            // Dates the spreadsheet cannot count are kept as they are shown.
            cell.kind = Cell::Kind::Text;
            cell.text = static_cast<std::uint32_t>(texts_.size());
            texts_.push_back(shown::dateTimeText(shown::wallMsecs(*dateTime)));
        }
    }

    auto& rows = sheets_[static_cast<std::size_t>(active_)].rows;
    const auto r = static_cast<std::size_t>(row - 1);
    const auto c = static_cast<std::size_t>(column - 1);
    if (r >= rows.size()) {
        if (cell.kind == Cell::Kind::Empty) return;
        rows.resize(r + 1);
    }
    auto& cells = rows[r];
    if (c >= cells.size()) {
        if (cell.kind == Cell::Kind::Empty) return;
        if (cells.empty()) cells.reserve(std::max<std::size_t>(c + 1, 4));
        cells.resize(c + 1);
    }
    cells[c] = cell;
}

void MemoryWorkbook::autoFitActiveSheetColumns() {
    SheetData& sheet = sheets_[static_cast<std::size_t>(active_)];
    std::vector<int> widest;
    for (const auto& cells : sheet.rows) {
        if (cells.size() > widest.size()) widest.resize(cells.size(), -1);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const Cell& cell = cells[c];
            int pixels;
            switch (cell.kind) {
            case Cell::Kind::Empty: continue;
            case Cell::Kind::Text: pixels = shown::textPixels(texts_[cell.text]); break;
            case Cell::Kind::Number: pixels = shown::numberPixels(cell.number); break;
            case Cell::Kind::DateTime: pixels = shown::dateTimePixels(cell.msecs); break;
            default: continue;
            }
            widest[c] = std::max(widest[c], pixels);
        }
    }
    if (sheet.widths.size() < widest.size()) sheet.widths.resize(widest.size(), 0);
    for (std::size_t c = 0; c < widest.size(); ++c)
        if (widest[c] >= 0) sheet.widths[c] = shown::widthForPixels(widest[c]);
}

void MemoryWorkbook::selectActiveSheetRange(const QString& reference) {
    const QString text = reference.trimmed();
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    CellRange range;
    bool ok;
    if (colon < 0) {
        ok = parseCell(text, range.firstRow, range.firstColumn);
        range.lastRow = range.firstRow;
        range.lastColumn = range.firstColumn;
    } else {
        long r1 = 0, r2 = 0;
        int c1 = 0, c2 = 0;
        ok = parseCell(text.left(colon), r1, c1) && parseCell(text.mid(colon + 1), r2, c2);
        range = {std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    }
    if (!ok) throw Failure(kApplicationDefined, QStringLiteral("Method 'Range' of object '_Worksheet' failed"));
    sheets_[static_cast<std::size_t>(active_)].selection = range;
}

int MemoryWorkbook::sheetsCount() { return sheetCount(); }

void MemoryWorkbook::setSheetName(int k, const QString& name) {
    const int index = checkedIndex(k);
    checkNewName(name, index);
    sheets_[static_cast<std::size_t>(index)].name = name;
}

void MemoryWorkbook::addSheetAfterLast() {
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

void MemoryWorkbook::selectSheet(int k) { active_ = checkedIndex(k); }

const SheetData& MemoryWorkbook::sheet(int k) const { return sheets_[static_cast<std::size_t>(checkedIndex(k))]; }

Value MemoryWorkbook::cell(int sheetNumber, long row, int column) const {
    const SheetData& data = sheet(sheetNumber);
    if (row < 1 || column < 1 || static_cast<std::size_t>(row) > data.rows.size()) return {};
    const auto& cells = data.rows[static_cast<std::size_t>(row - 1)];
    if (static_cast<std::size_t>(column) > cells.size()) return {};
    const Cell& c = cells[static_cast<std::size_t>(column - 1)];
    switch (c.kind) {
    case Cell::Kind::Text: return texts_[c.text];
    case Cell::Kind::Number: return c.number;
    case Cell::Kind::DateTime: return fromWallMsecs(c.msecs);
    case Cell::Kind::Empty: break;
    }
    return {};
}

long MemoryWorkbook::usedRows(int sheetNumber) const {
    const auto& rows = sheet(sheetNumber).rows;
    for (std::size_t r = rows.size(); r > 0; --r)
        for (const Cell& c : rows[r - 1])
            if (c.kind != Cell::Kind::Empty) return static_cast<long>(r);
    return 0;
}

int MemoryWorkbook::usedColumns(int sheetNumber) const {
    int used = 0;
    for (const auto& cells : sheet(sheetNumber).rows)
        for (std::size_t c = cells.size(); c > static_cast<std::size_t>(used); --c)
            if (cells[c - 1].kind != Cell::Kind::Empty) {
                used = static_cast<int>(c);
                break;
            }
    return used;
}

std::optional<double> MemoryWorkbook::columnWidth(int sheetNumber, int column) const {
    const auto& widths = sheet(sheetNumber).widths;
    if (column < 1 || static_cast<std::size_t>(column) > widths.size() || widths[column - 1] <= 0) return std::nullopt;
    return widths[static_cast<std::size_t>(column - 1)];
}

}  // namespace quorrix::importer::workbook
