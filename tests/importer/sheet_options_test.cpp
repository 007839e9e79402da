#include "importer/sheet_options.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "importer/backends.h"
#include "importer/import_run.h"
#include "importer/workbook/memory_spreadsheet.h"
#include "importer/workbook/xlsx_export.h"
#include "importer/workbook/xlsx_reading.h"
#include "support/scripted_dialogs.h"
#include "support/served_project.h"
#include "support/test_host.h"

namespace quorrix::importer {
namespace {

using testing::ServedTask;
using workbook::MemorySpreadsheetAutomation;
using workbook::MemoryWorkbook;

QDateTime at(int month, int day, int hour) { return wallClock(QDate(2024, month, day), QTime(hour, 0)); }

// A task with the fields selections and outlines look at; a negative level or percentage, or a
// milestone flag of nothing, leaves that field out.
ServedTask task(const QString& name, double level, const Value& milestone, double percent, const Value& start,
                const Value& finish) {
    ServedTask t{name, 480, {}, {}, {}};
    if (const auto* s = std::get_if<QDateTime>(&start)) t.start = *s;
    if (const auto* f = std::get_if<QDateTime>(&finish)) t.finish = *f;
    if (level >= 0) t.fields[static_cast<int>(TaskField::OutlineLevel)] = level;
    if (!std::holds_alternative<std::monostate>(milestone)) t.fields[static_cast<int>(TaskField::Milestone)] = milestone;
    if (percent >= 0) t.fields[static_cast<int>(TaskField::PercentComplete)] = percent;
    return t;
}

ServedTask atLevel(const QString& name, double level) {
    return task(name, level, QStringLiteral("No"), 0, at(5, 1, 8), at(5, 1, 17));
}

class SheetRunTest : public ::testing::Test {
protected:
    ImportOutcome run() { return importPlans(host, dialogs, memory, project); }
    const MemoryWorkbook& book() { return *memory.workbooks().back(); }
    QStringList names(int sheet) {
        QStringList out;
        for (long r = 2; r <= book().usedRows(sheet); ++r) {
            const Value v = book().cell(sheet, r, nameColumn);
            out << (std::holds_alternative<QString>(v) ? std::get<QString>(v) : QStringLiteral("<gap>"));
        }
        return out;
    }

    testing::TestHost host;
    testing::ScriptedDialogs dialogs;
    MemorySpreadsheetAutomation memory{nullptr};
    testing::ServedProject project;
    int nameColumn = 1;
};

// Every option on every sheet the run writes, in both layouts: the header frozen, the filter
// over all written rows and columns, summary rows above, each row at its task's level (deeper
// than 8 kept at 8) with its name indented (deeper than 15 steps kept at 15), each plan's
// outline from its own levels; the name found wherever the columns put it.
TEST_F(SheetRunTest, EveryOptionReachesEverySheetOfBothLayouts) {
    project.serve(QStringLiteral("/p/deep.mpp"), {atLevel(QStringLiteral("Phase"), 1), atLevel(QStringLiteral("Step"), 2),
                                                  std::nullopt, atLevel(QStringLiteral("Deep"), 17),
                                                  atLevel(QStringLiteral("Unleveled"), -1)});
    project.serve(QStringLiteral("/p/flat.mpp"), {atLevel(QStringLiteral("Alone"), 3)});
    host.entries = {QStringLiteral("/p/deep.mpp"), QStringLiteral("/p/flat.mpp")};
    host.chosenSheet = {true, true, true, true};
    struct Case {
        bool oneSheet;
        std::vector<Column> columns;
        int nameColumn;  // 0: no name column, no indents
    };
    const Case cases[] = {
        {true, defaultColumns(), 1},
        {false, defaultColumns(), 1},
        {true, {Column::Plan, Column::Start, Column::Name}, 3},
        {false, {Column::Duration, Column::Finish}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.oneSheet << " name in column " << c.nameColumn);
        host.oneSheet = c.oneSheet;
        host.chosenColumns = c.columns;
        nameColumn = c.nameColumn;
        const ImportOutcome outcome = run();
        EXPECT_TRUE(outcome.failedFiles.isEmpty());
        EXPECT_TRUE(dialogs.reports().isEmpty());
        // The rows of each task sheet: its filter's last row, and levels and indents row by row.
        struct Sheet {
            int number;
            long lastRow;
            std::vector<int> levels, indents;  // from row 2 on
        };
        const std::vector<Sheet> sheets =
            c.oneSheet ? std::vector<Sheet>{{1, 6, {0, 1, 7, 0, 2}, {0, 1, 15, 0, 2}}}
                       : std::vector<Sheet>{{1, 5, {0, 1, 7, 0}, {0, 1, 15, 0}}, {2, 2, {2}, {2}}};
        ASSERT_EQ(book().sheetCount(), c.oneSheet ? 3 : 2);
        for (const Sheet& s : sheets) {
            const workbook::SheetData& data = book().sheet(s.number);
            EXPECT_EQ(data.frozenRows, 1);
            EXPECT_EQ(data.frozenColumns, 0);
            EXPECT_TRUE(data.summaryRowAbove);
            EXPECT_EQ(data.autoFilter, (workbook::CellRange{1, 1, s.lastRow, static_cast<int>(c.columns.size())}));
            for (std::size_t i = 0; i < s.levels.size(); ++i) {
                EXPECT_EQ(data.rowLevel(i + 1), s.levels[i]) << "row " << i + 2;
                EXPECT_EQ(data.indent(i + 1, c.nameColumn), c.nameColumn ? s.indents[i] : 0) << "row " << i + 2;
            }
            EXPECT_EQ(data.rowLevel(0), 0);  // the header
            EXPECT_EQ(data.indent(0, c.nameColumn), 0);
        }
        if (c.oneSheet) {  // the sheets the run does not write stay plain
            EXPECT_EQ(book().sheet(2).frozenRows, 0);
            EXPECT_FALSE(book().sheet(2).autoFilter);
        }
    }
}

// Each test alone and combined with others; a task left out takes no row; a field the plan does
// not hold passes (no % complete is unfinished, no level is the first), a task without dates is
// active at no time, one with one date on that day.
TEST_F(SheetRunTest, SelectionsCombineAndLeaveNoGaps) {
    const Value none;
    const Value yes = QStringLiteral("Yes");
    const Value no = QStringLiteral("No");
    const Value na = QStringLiteral("NA");
    project.serve(QStringLiteral("/p/plan.mpp"),
                  {task(QStringLiteral("Phase"), 1, no, 30, at(5, 1, 8), at(5, 31, 17)),
                   task(QStringLiteral("Design"), 2, no, 100, at(5, 1, 8), at(5, 5, 17)), std::nullopt,
                   task(QStringLiteral("Review"), 3, yes, 50, at(5, 6, 12), at(5, 6, 12)),
                   task(QStringLiteral("Build"), 2, no, 99.5, at(5, 10, 8), at(5, 20, 17)),
                   task(QStringLiteral("Launch"), 1, yes, 0, at(6, 3, 9), at(6, 3, 9)),
                   task(QStringLiteral("Undated"), 2, no, 0, na, na),
                   task(QStringLiteral("Start only"), 2, no, 0, at(5, 7, 8), na),
                   task(QStringLiteral("Bare"), -1, none, -1, at(5, 15, 8), at(5, 15, 9))});
    host.entries = {QStringLiteral("/p/plan.mpp")};
    const auto window = [](int fromMonth, int fromDay, int toMonth, int toDay) {
        RowSelection s;
        s.activeFrom = QDate(2024, fromMonth, fromDay);
        s.activeTo = QDate(2024, toMonth, toDay);
        return s;
    };
    struct Case {
        const char* name;
        RowSelection selection;
        QStringList expected;
    };
    RowSelection combined = window(5, 1, 6, 30);
    combined.milestonesOnly = combined.unfinishedOnly = true;
    combined.maxOutlineLevel = 2;
    RowSelection leveledWindow = window(5, 20, 5, 20);
    leveledWindow.maxOutlineLevel = 2;
    const Case cases[] = {
        {"nothing chosen", {},
         {"Phase", "Design", "Review", "Build", "Launch", "Undated", "Start only", "Bare"}},
        {"milestones", {true, false, 0, {}, {}}, {"Review", "Launch"}},
        {"unfinished", {false, true, 0, {}, {}}, {"Phase", "Review", "Build", "Launch", "Undated", "Start only", "Bare"}},
        {"first level", {false, false, 1, {}, {}}, {"Phase", "Launch", "Bare"}},
        {"a window touching spans at either end", window(5, 6, 5, 9), {"Phase", "Review", "Start only"}},
        {"a window of one day", window(6, 3, 6, 3), {"Launch"}},
        {"a window no task touches", window(7, 1, 7, 31), {}},
        {"milestones, unfinished, up to level 2, in a window", combined, {"Launch"}},
        {"a window and up to level 2", leveledWindow, {"Phase", "Build"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.chosenRows = c.selection;
        const ImportOutcome outcome = run();
        EXPECT_EQ(names(1), c.expected);
        EXPECT_TRUE(outcome.failedFiles.isEmpty());  // no task selected is no failure
        EXPECT_TRUE(dialogs.reports().isEmpty());
    }

    // Sheet per file: a plan with no task selected keeps its sheet with the header alone.
    project.serve(QStringLiteral("/p/other.mpp"), {task(QStringLiteral("Kick-off"), 1, yes, 0, at(5, 2, 8), at(5, 2, 8))});
    host.entries = {QStringLiteral("/p/other.mpp"), QStringLiteral("/p/plan.mpp")};
    host.oneSheet = false;
    host.chosenRows = window(5, 6, 5, 6);
    host.chosenSheet.filterButtons = true;
    const ImportOutcome outcome = run();
    EXPECT_EQ(outcome.closingMessage, QStringLiteral("Done."));
    EXPECT_EQ(book().usedRows(1), 1);
    EXPECT_EQ(book().sheet(1).autoFilter, (workbook::CellRange{1, 1, 1, 4}));
    EXPECT_EQ(names(2), (QStringList{"Phase", "Review"}));
}

// A field that cannot be read while a task is tested is reported once under the line of the
// test, and the task is written as a test that fails counts as passed.
TEST_F(SheetRunTest, AFieldThatFailsWhileSelectingReportsAndKeepsTheTask) {
    project.serve(QStringLiteral("/p/a.mpp"), {atLevel(QStringLiteral("one"), 1), atLevel(QStringLiteral("two"), 2)});
    project.failAt(QStringLiteral("/p/a.mpp"), testing::ServedProject::Field, 2);
    host.entries = {QStringLiteral("/p/a.mpp")};
    host.chosenRows.maxOutlineLevel = 1;
    run();
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(dialogs.reports()[0].contains(QStringLiteral(" at line 158\r\r"))) << dialogs.reports()[0].toStdString();
    EXPECT_EQ(names(1), (QStringList{"one", "two"}));
}

TEST(SheetOptionKeys, TextFormAndWhatTheReadersAreAskedFor) {
    EXPECT_EQ(sheetOptionsText({true, true, true, true}),
              QStringLiteral("freeze-header,filter-buttons,group-outline,indent-names"));
    EXPECT_EQ(sheetOptionsText({}), QString());
    EXPECT_EQ(parseSheetOptions(QStringLiteral(" Indent-Names ,freeze-header")), (SheetOptions{true, false, false, true}));
    EXPECT_EQ(parseSheetOptions(QString()), SheetOptions{});
    for (const char* bad : {"freeze", "freeze-header,,indent-names", "group-outline,group-outline", ","})
        EXPECT_FALSE(parseSheetOptions(QString::fromLatin1(bad))) << bad;

    EXPECT_FALSE(taskFieldNeed(SheetOptions{true, true, false, false}).any());
    EXPECT_EQ(taskFieldNeed(SheetOptions{false, false, false, true}), (TaskFieldNeed{false, true, false, false}));
    EXPECT_EQ(taskFieldNeed(RowSelection{true, true, 3, {}, {}}), (TaskFieldNeed{false, true, true, true}));
    EXPECT_FALSE(taskFieldNeed(RowSelection{false, false, 0, QDate(2024, 1, 1), QDate(2024, 1, 2)}).any());
    EXPECT_EQ(taskFieldNeed(std::vector<Column>{Column::Name, Column::Milestone}),
              (TaskFieldNeed{false, false, true, false}));
    EXPECT_TRUE(taskFieldNeed(std::vector<Column>{Column::Name, Column::Notes}).every);
    EXPECT_FALSE(taskFieldNeed(defaultColumns()).any());
}

// The written file, whether written ahead while the workbook fills or all at the end: the
// frozen pane, the filter's range, the summary rows above, each row's level and each name's
// indent; without options none of them.
TEST(SheetOptionsFile, TheWorkbookReadBackHoldsPaneFilterLevelsAndIndents) {
    QTemporaryDir dir;
    testing::ServedProject project;
    project.serve(QStringLiteral("/p/a.mpp"), {atLevel(QStringLiteral("Top"), 1), atLevel(QStringLiteral("Sub"), 2),
                                               atLevel(QStringLiteral("Leaf"), 4)});
    for (const bool options : {true, false}) {
        for (const bool ahead : {true, false}) {
            SCOPED_TRACE(::testing::Message() << "options " << options << " ahead " << ahead);
            testing::TestHost host;
            host.entries = {QStringLiteral("/p/a.mpp")};
            if (options) host.chosenSheet = {true, true, true, true};
            testing::ScriptedDialogs dialogs;
            const QString path = dir.filePath(QStringLiteral("book.xlsx"));
            if (ahead) {
                const auto file = makeFileSpreadsheetAutomation(path);
                importPlans(host, dialogs, *file, project);
            } else {
                MemorySpreadsheetAutomation memory{nullptr};
                importPlans(host, dialogs, memory, project);
                workbook::exportXlsx(*memory.workbooks().back(), path);
            }
            const auto sheet = testing::xlsx::read(path).sheets.at(0);
            EXPECT_EQ(sheet.cells.at(QStringLiteral("A4")).text, QStringLiteral("Leaf"));
            EXPECT_EQ(sheet.frozenRows, options ? 1 : 0);
            EXPECT_EQ(sheet.autoFilter, options ? QStringLiteral("A1:D4") : QString());
            EXPECT_EQ(sheet.summaryBelow, !options);
            const std::map<int, int> levels = options ? std::map<int, int>{{3, 1}, {4, 3}} : std::map<int, int>{};
            EXPECT_EQ(sheet.rowLevels, levels);
            EXPECT_EQ(sheet.cells.at(QStringLiteral("A3")).indent, options ? 1 : 0);
            EXPECT_EQ(sheet.cells.at(QStringLiteral("A4")).indent, options ? 3 : 0);
            EXPECT_EQ(sheet.cells.at(QStringLiteral("A2")).indent, 0);
            EXPECT_EQ(sheet.cells.at(QStringLiteral("B4")).indent, 0);
            EXPECT_EQ(sheet.cells.at(QStringLiteral("C4")).format, QStringLiteral("m/d/yyyy h:mm"));
        }
    }
}

}  // namespace
}  // namespace quorrix::importer
