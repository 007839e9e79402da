#include <gtest/gtest.h>

#include <functional>

#include "importer/workbook/memory_spreadsheet.h"
#include "importer/workbook/memory_workbook.h"
#include "platform/failure.h"

using quorrix::Failure;
using namespace quorrix::importer;
using namespace quorrix::importer::workbook;

namespace {

struct Caught {
    int number = 0;
    QString description;
};

Caught failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& f) {
        return {f.number(), f.description()};
    }
    return {};
}

QStringList namesOf(const MemoryWorkbook& book) {
    QStringList names;
    for (const SheetData& s : book.sheets()) names << s.name;
    return names;
}

QDateTime at(int y, int m, int d, int h = 0, int min = 0) { return QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC); }

// Column widths as the standard font's pixels make them: content + 7 pixels margin, less the
// 5 pixels padding, in 7-pixel characters.
double widthOf(int contentPixels) { return (contentPixels + 7 - 5) / 7.0; }

class NoAlerts : public ::testing::Test {
protected:
    std::shared_ptr<SpreadsheetSettings> settings = std::make_shared<SpreadsheetSettings>(SpreadsheetSettings{false});
    MemoryWorkbook book{settings};
};

}  // namespace

TEST(MemoryWorkbookSheets, NewWorkbookAndAddedSheetsAreNamedAsTheSpreadsheetDoes) {
    MemoryWorkbook book;
    EXPECT_EQ(book.sheetsCount(), 3);
    EXPECT_EQ(namesOf(book), (QStringList{"Sheet1", "Sheet2", "Sheet3"}));
    EXPECT_EQ(book.activeSheet(), 1);
    book.setSheetName(1, QStringLiteral("Temp Sheet xx1"));
    book.setSheetName(2, QStringLiteral("Temp Sheet xx2"));
    book.setSheetName(3, QStringLiteral("Temp Sheet xx3"));
    book.addSheetAfterLast();
    EXPECT_EQ(book.activeSheet(), 4);
    book.addSheetAfterLast();
    EXPECT_EQ(namesOf(book), (QStringList{"Temp Sheet xx1", "Temp Sheet xx2", "Temp Sheet xx3", "Sheet4", "Sheet5"}));
    EXPECT_EQ(book.activeSheet(), 5);
    // A name already in use is passed over, in any letter case.
    book.setSheetName(1, QStringLiteral("sheet6"));
    book.addSheetAfterLast();
    EXPECT_EQ(book.sheet(6).name, QStringLiteral("Sheet7"));
}

TEST(MemoryWorkbookSheets, MissingSheetsAreSubscriptOutOfRange) {
    MemoryWorkbook book;
    for (int k : {0, 4, -1}) {
        const Caught c = failureOf([&] { book.setSheetName(k, QStringLiteral("x")); });
        EXPECT_EQ(c.number, 9);
        EXPECT_EQ(c.description, QStringLiteral("Subscript out of range"));
        EXPECT_EQ(failureOf([&] { book.selectSheet(k); }).number, 9);
    }
    EXPECT_EQ(failureOf([&] { book.deleteSheet(QStringLiteral("Sheet9")); }).number, 9);
    EXPECT_EQ(namesOf(book), (QStringList{"Sheet1", "Sheet2", "Sheet3"}));
}

TEST(MemoryWorkbookSheets, NamesFollowTheSpreadsheetsRules) {
    MemoryWorkbook book;
    book.setSheetName(1, QStringLiteral("Sheet1"));  // its own name
    book.setSheetName(1, QStringLiteral("SHEET1"));
    for (const QString& bad : {QString(), QStringLiteral("a/b"), QStringLiteral("a[1]"), QStringLiteral("what?"),
                              QStringLiteral("'quoted'"), QString(32, QLatin1Char('x')), QStringLiteral("History"),
                              QStringLiteral("sheet2")}) {
        const Caught c = failureOf([&] { book.setSheetName(1, bad); });
        EXPECT_EQ(c.number, 1004) << bad.toStdString();
        EXPECT_FALSE(c.description.contains(QLatin1Char('\n')));
    }
    book.setSheetName(1, QString(31, QLatin1Char('x')));
    EXPECT_EQ(book.sheet(1).name.size(), 31);
}

TEST(MemoryWorkbookSheets, DeletingWhileAlertsAreOnIsDeclined) {
    auto settings = std::make_shared<SpreadsheetSettings>();
    MemoryWorkbook book(settings);
    ASSERT_TRUE(settings->displayAlerts);
    book.deleteSheet(QStringLiteral("Sheet2"));  // no failure: the confirmation goes unanswered
    EXPECT_EQ(book.sheetsCount(), 3);
    settings->displayAlerts = false;
    book.deleteSheet(QStringLiteral("sheet2"));
    EXPECT_EQ(namesOf(book), (QStringList{"Sheet1", "Sheet3"}));
}

TEST_F(NoAlerts, DeletingKeepsTheActiveSheetAndNeverTheLastOne) {
    book.addSheetAfterLast();  // Sheet4, active
    book.setActiveSheetCell(1, 1, QStringLiteral("on four"));
    book.deleteSheet(QStringLiteral("Sheet1"));
    book.deleteSheet(QStringLiteral("Sheet2"));
    EXPECT_EQ(book.sheet(book.activeSheet()).name, QStringLiteral("Sheet4"));
    book.deleteSheet(QStringLiteral("Sheet4"));  // the active one: its neighbour takes over
    EXPECT_EQ(book.sheet(book.activeSheet()).name, QStringLiteral("Sheet3"));
    const Caught c = failureOf([&] { book.deleteSheet(QStringLiteral("Sheet3")); });
    EXPECT_EQ(c.number, 1004);
    EXPECT_EQ(c.description, QStringLiteral("A workbook must contain at least one visible worksheet."));
    EXPECT_EQ(book.sheetsCount(), 1);
    settings->displayAlerts = true;  // the only sheet fails alike with alerts on
    EXPECT_EQ(failureOf([&] { book.deleteSheet(QStringLiteral("Sheet3")); }).number, 1004);
}

TEST_F(NoAlerts, SelectingSheetsAndRanges) {
    book.addSheetAfterLast();
    book.selectSheet(1);
    EXPECT_EQ(book.activeSheet(), 1);
    book.setActiveSheetCell(2, 2, 1.0);  // writes go to the selected sheet now
    EXPECT_EQ(std::get<double>(book.cell(1, 2, 2)), 1.0);
    EXPECT_EQ(book.sheet(1).selection, (CellRange{1, 1, 1, 1}));
    book.selectActiveSheetRange(QStringLiteral("b2:$C$4"));
    EXPECT_EQ(book.sheet(1).selection, (CellRange{2, 2, 4, 3}));
    book.selectActiveSheetRange(QStringLiteral("XFD1048576"));
    EXPECT_EQ(book.sheet(1).selection, (CellRange{1048576, 16384, 1048576, 16384}));
    book.selectActiveSheetRange(QStringLiteral("A1"));
    EXPECT_EQ(book.sheet(1).selection, (CellRange{1, 1, 1, 1}));
    for (const QString& bad : {QString(), QStringLiteral("A0"), QStringLiteral("XFE1"), QStringLiteral("A1048577"),
                              QStringLiteral("1A"), QStringLiteral("A1:"), QStringLiteral("AAAA1")})
        EXPECT_EQ(failureOf([&] { book.selectActiveSheetRange(bad); }).number, 1004) << bad.toStdString();
    EXPECT_EQ(book.sheet(4).selection, (CellRange{1, 1, 1, 1}));
}

TEST_F(NoAlerts, FrozenPanesFiltersOutlineLevelsAndIndentsBelongToTheActiveSheet) {
    book.selectSheet(2);
    book.freezeActiveSheetPanes(1, 0);
    book.autoFilterActiveSheetRange(QStringLiteral("d9:A1"));
    book.setActiveSheetSummaryRowAbove(true);
    book.setActiveSheetRowOutlineLevel(3, 8);
    book.setActiveSheetRowOutlineLevel(4, 2);
    book.setActiveSheetRowOutlineLevel(4, 1);  // back to no grouping
    book.setActiveSheetCellIndent(3, 2, 15);
    const SheetData& two = book.sheet(2);
    EXPECT_EQ(two.frozenRows, 1);
    EXPECT_EQ(two.autoFilter, (CellRange{1, 1, 9, 4}));
    EXPECT_TRUE(two.summaryRowAbove);
    EXPECT_EQ(two.rowLevel(2), 7);
    EXPECT_EQ(two.rowLevel(3), 0);
    EXPECT_EQ(two.indent(2, 2), 15);
    EXPECT_EQ(two.indent(2, 1), 0);
    EXPECT_TRUE(two.holdsRow(2));  // a row with a level and no cell still counts
    const SheetData& one = book.sheet(1);
    EXPECT_EQ(one.frozenRows, 0);
    EXPECT_FALSE(one.autoFilter);
    EXPECT_EQ(one.rowLevel(2), 0);

    const std::function<void()> bad[] = {
        [&] { book.freezeActiveSheetPanes(-1, 0); },          [&] { book.freezeActiveSheetPanes(0, kMaxColumns); },
        [&] { book.autoFilterActiveSheetRange(QStringLiteral("A1:")); },
        [&] { book.setActiveSheetRowOutlineLevel(2, 0); },    [&] { book.setActiveSheetRowOutlineLevel(2, 9); },
        [&] { book.setActiveSheetRowOutlineLevel(0, 2); },    [&] { book.setActiveSheetCellIndent(2, 1, 16); },
        [&] { book.setActiveSheetCellIndent(2, 1, -1); },     [&] { book.setActiveSheetCellIndent(2, 0, 1); },
    };
    for (std::size_t i = 0; i < std::size(bad); ++i) EXPECT_EQ(failureOf(bad[i]).number, 1004) << i;
}

TEST(MemoryWorkbookCells, CellsKeepTheirType) {
    MemoryWorkbook book;
    book.setActiveSheetCell(1, 1, QStringLiteral("Task Name"));
    book.setActiveSheetCell(2, 2, 480.0);
    book.setActiveSheetCell(2, 3, at(2024, 3, 5, 8));
    book.setActiveSheetCell(3, 1, QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"));
    EXPECT_EQ(std::get<QString>(book.cell(1, 1, 1)), QStringLiteral("Task Name"));
    EXPECT_EQ(std::get<double>(book.cell(1, 2, 2)), 480.0);
    const QDateTime back = std::get<QDateTime>(book.cell(1, 2, 3));
    EXPECT_EQ(back, at(2024, 3, 5, 8));
    EXPECT_EQ(back.timeSpec(), Qt::UTC);
    EXPECT_EQ(std::get<QString>(book.cell(1, 3, 1)), QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book.cell(1, 2, 1)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book.cell(1, 99, 99)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book.cell(2, 1, 1)));  // other sheets untouched
    EXPECT_EQ(book.usedRows(1), 3);
    EXPECT_EQ(book.usedColumns(1), 3);

    // Overwriting, clearing, and the empty text, which leaves the cell empty.
    book.setActiveSheetCell(2, 2, QStringLiteral("now text"));
    EXPECT_EQ(std::get<QString>(book.cell(1, 2, 2)), QStringLiteral("now text"));
    book.setActiveSheetCell(2, 2, Value{});
    book.setActiveSheetCell(2, 3, QString());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book.cell(1, 2, 2)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book.cell(1, 2, 3)));
    // Seconds and milliseconds survive; midnight and the first days of 1900 too.
    const QDateTime precise(QDate(2031, 12, 31), QTime(23, 59, 59, 999), Qt::UTC);
    book.setActiveSheetCell(4, 1, precise);
    book.setActiveSheetCell(4, 2, at(1900, 1, 1));
    EXPECT_EQ(std::get<QDateTime>(book.cell(1, 4, 1)), precise);
    EXPECT_EQ(std::get<QDateTime>(book.cell(1, 4, 2)), at(1900, 1, 1));
    // A date the spreadsheet cannot count stays as it is shown.
    book.setActiveSheetCell(5, 1, at(1850, 7, 4, 9, 5));
    EXPECT_EQ(std::get<QString>(book.cell(1, 5, 1)), QStringLiteral("7/4/1850 9:05"));
}

TEST(MemoryWorkbookCells, WritesOutsideTheSheetFailAsOrdinaryFailures) {
    MemoryWorkbook book;
    book.setActiveSheetCell(1048576, 16384, 1.0);
    EXPECT_EQ(std::get<double>(book.cell(1, 1048576, 16384)), 1.0);
    struct Where { long row; int column; };
    for (const Where w : {Where{0, 1}, Where{1048577, 1}, Where{1, 0}, Where{1, 16385}, Where{-5, -5}}) {
        const Caught c = failureOf([&] { book.setActiveSheetCell(w.row, w.column, 1.0); });
        EXPECT_EQ(c.number, 1004);
        EXPECT_EQ(c.description, QStringLiteral("Application-defined or object-defined error"));
    }
    EXPECT_EQ(failureOf([&] { book.setActiveSheetCell(1, 1, QString(32768, QLatin1Char('x'))); }).number, 1004);
    book.setActiveSheetCell(1, 1, QString(32767, QLatin1Char('x')));
    EXPECT_NE(failureOf([&] { book.setActiveSheetCell(1, 2, std::numeric_limits<double>::quiet_NaN()); }).number, 0);
}

TEST(MemoryWorkbookAutoFit, WidthsComeFromTheLongestShownValue) {
    MemoryWorkbook book;
    book.setActiveSheetCell(1, 1, QStringLiteral("Task Name"));        // 67 px in the standard font
    book.setActiveSheetCell(2, 1, QStringLiteral("iii"));              // narrower: 12 px
    book.setActiveSheetCell(1, 2, 480.0);                              // "480": 21 px
    book.setActiveSheetCell(2, 2, 1.0 / 3);                            // "0.333333333": 74 px
    book.setActiveSheetCell(1, 3, at(2024, 3, 5, 8));                  // "3/5/2024 8:00": 82 px
    book.setActiveSheetCell(2, 3, at(2024, 3, 5));                     // "3/5/2024": 54 px
    book.setActiveSheetCell(1, 4, at(2024, 12, 25, 17, 30));           // "12/25/2024 17:30": 103 px
    book.setActiveSheetCell(1, 5, 123456789012.0);                     // "1.23457E+11": 74 px
    book.setActiveSheetCell(1, 6, -42.0);                              // "-42": 19 px
    book.setActiveSheetCell(1, 8, QString(400, QLatin1Char('W')));     // capped at 255 characters
    book.setActiveSheetCell(1, 9, QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC"));  // two wide characters: 30 px
    book.addSheetAfterLast();
    book.selectSheet(1);
    book.autoFitActiveSheetColumns();

    EXPECT_DOUBLE_EQ(*book.columnWidth(1, 1), widthOf(67));
    EXPECT_DOUBLE_EQ(*book.columnWidth(1, 2), widthOf(74));
    EXPECT_DOUBLE_EQ(*book.columnWidth(1, 3), widthOf(82));
    EXPECT_DOUBLE_EQ(*book.columnWidth(1, 4), widthOf(103));
    EXPECT_DOUBLE_EQ(*book.columnWidth(1, 5), widthOf(74));
    EXPECT_DOUBLE_EQ(*book.columnWidth(1, 6), widthOf(19));
    EXPECT_FALSE(book.columnWidth(1, 7).has_value());  // nothing in it: the standard width stays
    EXPECT_DOUBLE_EQ(*book.columnWidth(1, 8), 255.0);
    EXPECT_DOUBLE_EQ(*book.columnWidth(1, 9), widthOf(30));
    EXPECT_FALSE(book.columnWidth(2, 1).has_value());  // only the active sheet is fitted
    EXPECT_FALSE(book.columnWidth(4, 1).has_value());

    // Fitting again after the contents shrank follows the contents.
    book.setActiveSheetCell(1, 1, QStringLiteral("iii"));
    book.autoFitActiveSheetColumns();
    EXPECT_DOUBLE_EQ(*book.columnWidth(1, 1), widthOf(12));
}

TEST(MemorySpreadsheet, ApplicationsWorkbooksAndVisibility) {
    class CountingPresenter : public WorkbookPresenter {
    public:
        void present(const MemoryWorkbook& book) override {
            shown.push_back(&book);
            if (fail) throw Failure(75, QStringLiteral("The workbook could not be written: disk full."));
        }
        std::vector<const MemoryWorkbook*> shown;
        bool fail = false;
    };
    auto presenter = std::make_shared<CountingPresenter>();
    MemorySpreadsheetAutomation automation(presenter);
    EXPECT_EQ(failureOf([&] { automation.attachRunning(); }).number, 429);

    auto app = automation.create();
    ASSERT_TRUE(app);
    EXPECT_EQ(app->defaultProperty(), QStringLiteral("Microsoft Excel"));
    EXPECT_EQ(app->workbooksCount(), 0);
    EXPECT_EQ(failureOf([&] { app->workbook(1); }).number, 9);
    app->workbooksAdd();
    ASSERT_EQ(app->workbooksCount(), 1);
    Workbook& book = app->workbook(app->workbooksCount());
    book.setActiveSheetCell(1, 1, QStringLiteral("kept"));

    // DisplayAlerts reaches the workbook.
    book.deleteSheet(QStringLiteral("Sheet3"));
    EXPECT_EQ(book.sheetsCount(), 3);
    app->setDisplayAlerts(false);
    book.deleteSheet(QStringLiteral("Sheet3"));
    EXPECT_EQ(book.sheetsCount(), 2);

    app->setVisible(false);
    EXPECT_TRUE(presenter->shown.empty());
    app->setVisible(true);
    ASSERT_EQ(presenter->shown.size(), 1u);
    EXPECT_EQ(presenter->shown[0], &book);
    app->setVisible(true);  // already shown
    EXPECT_EQ(presenter->shown.size(), 1u);
    app.reset();

    // The workbook outlives its application for whoever looks at it afterwards.
    ASSERT_EQ(automation.workbooks().size(), 1u);
    EXPECT_EQ(std::get<QString>(automation.workbooks()[0]->cell(1, 1, 1)), QStringLiteral("kept"));

    // A presenter's failure reaches the caller of Visible.
    presenter->fail = true;
    auto second = automation.create();
    second->workbooksAdd();
    const Caught c = failureOf([&] { second->setVisible(true); });
    EXPECT_EQ(c.number, 75);
    EXPECT_EQ(automation.workbooks().size(), 2u);
    // Each application has its own alerts setting: a new one starts with alerts on.
    second->workbook(1).deleteSheet(QStringLiteral("Sheet3"));
    EXPECT_EQ(second->workbook(1).sheetsCount(), 3);
}

TEST(MemorySpreadsheet, WithoutPresenterVisibleShowsNothing) {
    MemorySpreadsheetAutomation automation(nullptr);
    auto app = automation.create();
    app->workbooksAdd();
    app->setVisible(true);
    EXPECT_EQ(automation.workbooks().size(), 1u);
}

TEST(MemoryWorkbookCells, ManyRowsStayCompact) {
    MemoryWorkbook book;
    for (long row = 1; row <= 200000; ++row) {
        book.setActiveSheetCell(row, 1, QStringLiteral("Task"));
        book.setActiveSheetCell(row, 2, static_cast<double>(row));
        book.setActiveSheetCell(row, 3, at(2024, 1, 1, 8));
        book.setActiveSheetCell(row, 4, at(2024, 1, 2, 17));
    }
    EXPECT_EQ(book.usedRows(1), 200000);
    EXPECT_EQ(std::get<double>(book.cell(1, 123456, 2)), 123456.0);
    // A row of a name, a whole number and two whole-minute dates takes 21 bytes here.
    EXPECT_EQ(book.sheet(1).rows[0].bytes, 21u);
    EXPECT_EQ(std::get<QDateTime>(book.cell(1, 1, 4)), at(2024, 1, 2, 17));
}

TEST(MemoryWorkbookCells, RowsChangeAnywhereAfterManyOthers) {
    auto settings = std::make_shared<SpreadsheetSettings>(SpreadsheetSettings{false});
    MemoryWorkbook book(settings);
    for (long row = 1; row <= 120000; ++row) {  // several megabytes: the early rows leave memory
        book.setActiveSheetCell(row, 1, QStringLiteral("Row %1").arg(row));
        book.setActiveSheetCell(row, 2, row + 0.5);
    }
    book.setActiveSheetCell(7, 1, QString::fromUtf8("sev\xC3\xA9n"));  // replaced in an early row
    book.setActiveSheetCell(7, 4, at(2030, 6, 1, 9, 30));               // extended past a gap
    book.setActiveSheetCell(8, 2, Value{});                             // the last cell cleared
    book.setActiveSheetCell(9, 1, Value{});                             // a middle cell cleared
    book.addSheetAfterLast();
    book.setActiveSheetCell(1, 1, QStringLiteral("other sheet"));
    book.selectSheet(1);
    book.setActiveSheetCell(120000, 3, -7.0);  // the last row, no longer last in the log

    EXPECT_EQ(std::get<QString>(book.cell(1, 7, 1)), QString::fromUtf8("sev\xC3\xA9n"));
    EXPECT_EQ(std::get<double>(book.cell(1, 7, 2)), 7.5);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book.cell(1, 7, 3)));
    EXPECT_EQ(std::get<QDateTime>(book.cell(1, 7, 4)), at(2030, 6, 1, 9, 30));
    EXPECT_EQ(std::get<QString>(book.cell(1, 8, 1)), QStringLiteral("Row 8"));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book.cell(1, 8, 2)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book.cell(1, 9, 1)));
    EXPECT_EQ(std::get<double>(book.cell(1, 9, 2)), 9.5);
    EXPECT_EQ(std::get<QString>(book.cell(1, 60000, 1)), QStringLiteral("Row 60000"));
    EXPECT_EQ(std::get<double>(book.cell(1, 120000, 2)), 120000.5);
    EXPECT_EQ(std::get<double>(book.cell(1, 120000, 3)), -7.0);
    EXPECT_EQ(std::get<QString>(book.cell(4, 1, 1)), QStringLiteral("other sheet"));

    // Every cell visited once, in row order.
    long cells = 0, lastRow = 0;
    bool ordered = true;
    book.visitCells(1, [&](long row, int, const CellView&) {
        ordered = ordered && row >= lastRow;
        lastRow = row;
        ++cells;
    });
    EXPECT_TRUE(ordered);
    EXPECT_EQ(cells, 120000 * 2 + 1 - 2 + 1);  // + D7, - B8, - A9, + C120000
    EXPECT_EQ(book.usedRows(1), 120000);
    EXPECT_EQ(book.usedColumns(1), 4);

    // Numbers keep every bit, whole or not, large or negative.
    const double numbers[] = {0.0, -0.0, 2147483646.0, 2147483648.0, -2147483647.0, 1e300, -1.25e-300, 1.0 / 3};
    for (int i = 0; i < 8; ++i) book.setActiveSheetCell(200000, i + 1, numbers[i]);
    for (int i = 0; i < 8; ++i) {
        const double back = std::get<double>(book.cell(1, 200000, i + 1));
        EXPECT_EQ(back, numbers[i]);
        EXPECT_EQ(std::signbit(back), std::signbit(numbers[i]));
    }
}

TEST(MemoryWorkbookCells, WithoutATemporaryFolderRowsStayInMemory) {
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent/quorrix-no-such-folder");
    {
        MemoryWorkbook book;
        for (long row = 1; row <= 50000; ++row) book.setActiveSheetCell(row, 1, QStringLiteral("Row %1").arg(row));
        EXPECT_EQ(std::get<QString>(book.cell(1, 1, 1)), QStringLiteral("Row 1"));
        EXPECT_EQ(std::get<QString>(book.cell(1, 50000, 1)), QStringLiteral("Row 50000"));
        book.setActiveSheetCell(2, 1, QStringLiteral("changed"));
        EXPECT_EQ(std::get<QString>(book.cell(1, 2, 1)), QStringLiteral("changed"));
    }
    if (saved.isNull()) qunsetenv("TMPDIR");
    else qputenv("TMPDIR", saved);
}
