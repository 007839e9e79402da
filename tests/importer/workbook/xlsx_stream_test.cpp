#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <functional>

#include "importer/workbook/memory_workbook.h"
#include "importer/workbook/xlsx_export.h"
#include "importer/workbook/xlsx_library.h"
#include "importer/workbook/xlsx_stream.h"
#include "platform/failure.h"
#include "xlsx_reading.h"

using namespace quorrix::importer::workbook;
namespace readback = quorrix::testing::xlsx;
using quorrix::importer::Value;

namespace {

using Fill = std::function<void(MemoryWorkbook&)>;

const char* const kParts[] = {"[Content_Types].xml", "xl/workbook.xml",           "xl/styles.xml",
                              "xl/_rels/workbook.xml.rels", "xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml",
                              "xl/worksheets/sheet3.xml", "docProps/app.xml"};

int openDescriptors() { return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files | QDir::AllEntries).size()); }

// The file a workbook filled by `fill` gives, written ahead while it is filled or not.
QString written(const QTemporaryDir& dir, const QString& name, const Fill& fill, bool ahead) {
    auto settings = std::make_shared<SpreadsheetSettings>(SpreadsheetSettings{false});
    MemoryWorkbook book(settings);
    const auto stream = ahead ? std::make_shared<XlsxStream>() : nullptr;
    if (stream) book.setRowSink(stream);
    fill(book);
    const QString path = dir.filePath(name);
    exportXlsx(book, path, stream.get());
    return path;
}

// Whether the stream of a workbook filled by `fill` is still of use when the workbook is shown.
bool streamServes(const Fill& fill) {
    auto settings = std::make_shared<SpreadsheetSettings>(SpreadsheetSettings{false});
    MemoryWorkbook book(settings);
    const auto stream = std::make_shared<XlsxStream>();
    book.setRowSink(stream);
    fill(book);
    QTemporaryFile file;
    if (!file.open()) throw std::runtime_error("no temporary file");
    return stream->finish(book, file.handle());
}

// Every part of the two files but the creation time is the same, byte for byte.
void expectSameFile(const QString& a, const QString& b) {
    for (const char* name : kParts) {
        std::string first, second;
        try {
            first = readback::part(a, name);
        } catch (const std::exception&) {
            first = "<absent>";
        }
        try {
            second = readback::part(b, name);
        } catch (const std::exception&) {
            second = "<absent>";
        }
        EXPECT_EQ(first, second) << name;
    }
}

QDateTime at(int d, int h) { return QDateTime(QDate(2025, 1, d), QTime(h, 0), Qt::UTC); }

void taskRow(MemoryWorkbook& book, long row, int n) {
    book.setActiveSheetCell(row, 1, QStringLiteral("Task %1 <&> \x01").arg(n));
    book.setActiveSheetCell(row, 2, QStringLiteral("%1 days").arg(n % 9));
    book.setActiveSheetCell(row, 3, at(1 + n % 28, n % 2 ? 8 : 0));
    book.setActiveSheetCell(row, 4, static_cast<double>(n) / 3);
}

}  // namespace

// The file written ahead is the file written at the end, in both layouts of the import and
// with more rows than the stream carries in one parcel; and nothing of the stream stays open.
TEST(XlsxStream, WritesTheSameFileAsWritingAtTheEnd) {
    QTemporaryDir dir;
    const int before = openDescriptors();
    const std::map<QString, Fill> fills = {
        {QStringLiteral("one-sheet"),
         [](MemoryWorkbook& book) {
             book.setActiveSheetCell(1, 1, QStringLiteral("Task Name"));
             for (int n = 1; n <= 20000; ++n) taskRow(book, n + 1, n);
             book.setActiveSheetCell(20003, 2, QStringLiteral("last, after a blank row"));
             book.autoFitActiveSheetColumns();
             book.selectActiveSheetRange(QStringLiteral("A1"));
         }},
        {QStringLiteral("sheet-per-file"),
         [](MemoryWorkbook& book) {
             for (int k = 1; k <= 3; ++k) book.setSheetName(k, QStringLiteral("Temp Sheet xx%1").arg(k));
             for (int file = 0; file < 3; ++file) {
                 book.addSheetAfterLast();
                 book.setActiveSheetCell(1, 1, QStringLiteral("Task Name"));
                 // The middle file has no tasks: its sheet holds the header alone.
                 for (int n = 1; file != 1 && n <= 50; ++n) taskRow(book, n + 1, n * (file + 1));
             }
             book.autoFitActiveSheetColumns();
             for (int k = 1; k <= 3; ++k) book.deleteSheet(QStringLiteral("Temp Sheet xx%1").arg(k));
             book.selectSheet(1);
         }},
        {QStringLiteral("nothing written"), [](MemoryWorkbook&) {}},
        {QStringLiteral("outlined"),
         [](MemoryWorkbook& book) {
             book.setActiveSheetCell(1, 1, QStringLiteral("Task Name"));
             book.freezeActiveSheetPanes(1, 0);
             book.setActiveSheetSummaryRowAbove(true);
             for (int n = 1; n <= 3000; ++n) {
                 taskRow(book, n + 1, n);
                 book.setActiveSheetRowOutlineLevel(n + 1, 1 + n % 8);
                 book.setActiveSheetCellIndent(n + 1, 1 + n % 3, n % 16);  // dates and numbers too
             }
             book.setActiveSheetRowOutlineLevel(3003, 2);  // a row with a level and no cell
             book.autoFilterActiveSheetRange(QStringLiteral("A1:D3003"));
         }},
    };
    for (const auto& [name, fill] : fills) {
        SCOPED_TRACE(name.toStdString());
        const QString ahead = written(dir, name + QStringLiteral("-ahead.xlsx"), fill, true);
        const QString atEnd = written(dir, name + QStringLiteral("-end.xlsx"), fill, false);
        expectSameFile(ahead, atEnd);
        EXPECT_TRUE(streamServes(fill));
    }
    const readback::Book book = readback::read(dir.filePath(QStringLiteral("one-sheet-ahead.xlsx")));
    ASSERT_EQ(book.sheets.size(), 3u);
    EXPECT_EQ(book.sheets[0].cells.at(QStringLiteral("A20001")).text, QStringLiteral("Task 20000 <&> \x01"));
    EXPECT_EQ(book.sheets[0].cells.at(QStringLiteral("B20003")).text, QStringLiteral("last, after a blank row"));
    EXPECT_EQ(book.sheets[0].cells.count(QStringLiteral("A20002")), 0u);
    const readback::Sheet outlined = readback::read(dir.filePath(QStringLiteral("outlined-ahead.xlsx"))).sheets[0];
    EXPECT_EQ(outlined.frozenRows, 1);
    EXPECT_EQ(outlined.autoFilter, QStringLiteral("A1:D3003"));
    EXPECT_FALSE(outlined.summaryBelow);
    EXPECT_EQ(outlined.rowLevels.count(9), 0u);  // level 1 is no grouping
    EXPECT_EQ(outlined.rowLevels.at(2), 1);
    EXPECT_EQ(outlined.rowLevels.at(3), 2);
    EXPECT_EQ(outlined.rowLevels.at(8), 7);
    EXPECT_EQ(outlined.rowLevels.at(3003), 1);
    EXPECT_EQ(outlined.cells.at(QStringLiteral("C3")).indent, 2);
    EXPECT_EQ(outlined.cells.at(QStringLiteral("C3")).format, QStringLiteral("m/d/yyyy"));  // a midnight
    EXPECT_EQ(outlined.cells.at(QStringLiteral("A16")).indent, 15);
    EXPECT_EQ(outlined.cells.at(QStringLiteral("B16")).indent, 0);
    EXPECT_EQ(openDescriptors(), before);
}

// Whatever the workbook does to rows or sheets it has handed over, the file holds the workbook
// as it ends.
TEST(XlsxStream, ChangesToRowsAlreadyHandedOverStillReachTheFile) {
    QTemporaryDir dir;
    struct Case {
        QString name;
        bool served;  // whether the stream is still of use at the end
        Fill fill;
    };
    const Case cases[] = {
        {QStringLiteral("a row rewritten"), false,
         [](MemoryWorkbook& book) {
             for (int n = 1; n <= 300; ++n) taskRow(book, n, n);
             book.setActiveSheetCell(2, 2, QStringLiteral("changed"));
             book.setActiveSheetCell(3, 4, Value{});  // the last cell of a row cleared
             for (int n = 301; n <= 310; ++n) taskRow(book, n, n);
         }},
        {QStringLiteral("the last row rewritten"), true,
         [](MemoryWorkbook& book) {
             for (int n = 1; n <= 300; ++n) taskRow(book, n, n);
             book.setActiveSheetCell(300, 1, QStringLiteral("changed"));
             book.setActiveSheetCell(200, 7, Value{});  // nothing there: nothing changes
         }},
        {QStringLiteral("a sheet renamed"), false,
         [](MemoryWorkbook& book) {
             for (int n = 1; n <= 5; ++n) taskRow(book, n, n);
             book.addSheetAfterLast();
             book.setSheetName(1, QStringLiteral("Renamed"));
         }},
        {QStringLiteral("sheets filled out of order"), false,
         [](MemoryWorkbook& book) {
             book.selectSheet(2);
             for (int n = 1; n <= 5; ++n) taskRow(book, n, n);
             book.selectSheet(1);
             for (int n = 1; n <= 5; ++n) taskRow(book, n, 10 + n);
         }},
        {QStringLiteral("back to a sheet, below what it handed over"), true,
         [](MemoryWorkbook& book) {
             for (int n = 1; n <= 5; ++n) taskRow(book, n, n);
             book.selectSheet(2);
             for (int n = 1; n <= 5; ++n) taskRow(book, n, 10 + n);
             book.selectSheet(1);
             taskRow(book, 6, 6);
         }},
        {QStringLiteral("an outline level and an indent given to rows handed over"), false,
         [](MemoryWorkbook& book) {
             for (int n = 1; n <= 300; ++n) taskRow(book, n, n);
             book.setActiveSheetRowOutlineLevel(2, 3);
             book.setActiveSheetCellIndent(4, 1, 2);
         }},
        {QStringLiteral("a filter that ends above the last row"), false,
         [](MemoryWorkbook& book) {
             for (int n = 1; n <= 300; ++n) taskRow(book, n, n);
             book.autoFilterActiveSheetRange(QStringLiteral("A1:D299"));
         }},
        {QStringLiteral("a filled sheet deleted"), false,
         [](MemoryWorkbook& book) {
             for (int n = 1; n <= 5; ++n) taskRow(book, n, n);
             book.selectSheet(2);
             book.setActiveSheetCell(1, 1, QStringLiteral("stays"));
             book.deleteSheet(QStringLiteral("Sheet1"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString ahead = written(dir, c.name + QStringLiteral("-ahead.xlsx"), c.fill, true);
        const QString atEnd = written(dir, c.name + QStringLiteral("-end.xlsx"), c.fill, false);
        expectSameFile(ahead, atEnd);
        EXPECT_EQ(streamServes(c.fill), c.served);
    }
    const readback::Book rewritten = readback::read(dir.filePath(QStringLiteral("a row rewritten-ahead.xlsx")));
    EXPECT_EQ(rewritten.sheets[0].cells.at(QStringLiteral("B2")).text, QStringLiteral("changed"));
    EXPECT_EQ(rewritten.sheets[0].cells.count(QStringLiteral("D3")), 0u);
    EXPECT_EQ(rewritten.sheets[0].cells.at(QStringLiteral("A310")).text, QStringLiteral("Task 310 <&> \x01"));
    const readback::Sheet late =
        readback::read(dir.filePath(QStringLiteral("an outline level and an indent given to rows handed over-ahead.xlsx")))
            .sheets[0];
    EXPECT_EQ(late.rowLevels, (std::map<int, int>{{2, 2}}));
    EXPECT_EQ(late.cells.at(QStringLiteral("A4")).indent, 2);
    EXPECT_EQ(readback::read(dir.filePath(QStringLiteral("a filter that ends above the last row-ahead.xlsx")))
                  .sheets[0]
                  .autoFilter,
              QStringLiteral("A1:D299"));
    const readback::Book renamed = readback::read(dir.filePath(QStringLiteral("a sheet renamed-ahead.xlsx")));
    EXPECT_EQ(renamed.sheets[0].name, QStringLiteral("Renamed"));
    const readback::Book deleted = readback::read(dir.filePath(QStringLiteral("a filled sheet deleted-ahead.xlsx")));
    ASSERT_EQ(deleted.sheets.size(), 2u);
    EXPECT_EQ(deleted.sheets[0].cells.at(QStringLiteral("A1")).text, QStringLiteral("stays"));
}

// A workbook dropped before it is shown leaves nothing open. (A file that cannot be written is
// tried with and without the stream in XlsxExport.AFailedWriteLeavesNothingAndSaysWhy.)
TEST(XlsxStream, AbandonedStreamsLeaveNothingOpen) {
    QTemporaryDir dir;
    const int before = openDescriptors();
    {
        MemoryWorkbook book;
        book.setRowSink(std::make_shared<XlsxStream>());
        for (int n = 1; n <= 3000; ++n) taskRow(book, n, n);
    }
    EXPECT_EQ(openDescriptors(), before);

    EXPECT_EQ(openDescriptors(), before);
}

// The library's temporary files are made by the program, where every write to them is checked
// (a full temporary folder is tried in XlsxExport).
TEST(XlsxLibrary, TheLibrarysTemporaryFilesAreTheProgramsOwn) {
    QTemporaryDir dir;
    xlsx::LibraryWorkbook probe(QFile::encodeName(dir.filePath(QStringLiteral("probe.xlsx"))), false);
    lxw_worksheet* sheet = probe.addSheet(QStringLiteral("Sheet1"));
    ASSERT_TRUE(sheet && sheet->optimize_tmpfile);
    EXPECT_LT(fileno(sheet->optimize_tmpfile), 0) << "the library made a temporary file of its own";
}
