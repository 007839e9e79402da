#include "importer/columns.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "importer/backends.h"
#include "importer/import_run.h"
#include "importer/workbook/memory_spreadsheet.h"
#include "importer/workbook/xlsx_reading.h"
#include "support/scripted_dialogs.h"
#include "support/served_project.h"
#include "support/test_host.h"

namespace quorrix::importer {
namespace {

using testing::ScriptedDialogs;
using testing::ServedProject;
using testing::ServedTask;
using testing::TestHost;
using workbook::MemorySpreadsheetAutomation;
using workbook::MemoryWorkbook;

const QString kAllKeys = QStringLiteral(
    "name,duration,start,finish,plan,project,id,activity-id,unique-id,outline-level,outline-number,wbs,percent-complete,milestone,"
    "summary,baseline-start,baseline-finish,baseline-duration,actual-start,actual-finish,cost,work,notes,resources");

TEST(Columns, KeysHeadersAndFieldsInListOrder) {
    EXPECT_EQ(columnKeyList(), kAllKeys);
    QStringList headers;
    for (Column c : allColumns()) headers << columnHeader(c);
    EXPECT_EQ(headers, (QStringList{"Task Name", "Duration", "Start Date", "Finish Date", "Plan", "Project", "ID",
                                    "Activity ID", "Unique ID",
                                    "Outline Level", "Outline Number", "WBS", "% Complete", "Milestone", "Summary",
                                    "Baseline Start", "Baseline Finish", "Baseline Duration", "Actual Start",
                                    "Actual Finish", "Cost", "Work", "Notes", "Resource Names"}));
    EXPECT_EQ(columnListText(defaultColumns()), QStringLiteral("name,duration,start,finish"));
    EXPECT_EQ(extraColumns().size(), 20u);
    EXPECT_EQ(extraColumns().front(), Column::Plan);

    EXPECT_EQ(columnField(Column::Project), TaskField::Project);
    EXPECT_EQ(columnField(Column::Id), TaskField::Id);
    EXPECT_EQ(columnField(Column::ActivityId), TaskField::ActivityId);
    EXPECT_EQ(columnField(Column::Wbs), TaskField::Wbs);
    EXPECT_EQ(columnField(Column::ActualFinish), TaskField::ActualFinish);
    EXPECT_EQ(columnField(Column::ResourceNames), TaskField::ResourceNames);
    EXPECT_FALSE(columnField(Column::Plan));
    EXPECT_FALSE(columnField(Column::Finish));

    EXPECT_FALSE(needsTaskFields(defaultColumns()));
    EXPECT_FALSE(needsTaskFields({Column::Plan, Column::Name}));
    EXPECT_TRUE(needsTaskFields({Column::Name, Column::Notes}));
}

TEST(Columns, ListIsReadInTheOrderGivenAndRefusedWhenUnusable) {
    const ColumnChoice some = parseColumnList(QStringLiteral(" Plan, name ,resources,FINISH"));
    ASSERT_TRUE(some.columns);
    EXPECT_EQ(*some.columns, (std::vector<Column>{Column::Plan, Column::Name, Column::ResourceNames, Column::Finish}));

    const ColumnChoice all = parseColumnList(kAllKeys);
    ASSERT_TRUE(all.columns);
    EXPECT_EQ(*all.columns, allColumns());

    const ColumnChoice unknown = parseColumnList(QStringLiteral("name,colour"));
    EXPECT_FALSE(unknown.columns);
    EXPECT_TRUE(unknown.error.contains(QStringLiteral("colour")));
    EXPECT_TRUE(unknown.error.contains(kAllKeys));

    for (const char* bad : {"", " ", "name,,start", "name,", ",name", "name,start,name", "Id,id"}) {
        const ColumnChoice parsed = parseColumnList(QString::fromLatin1(bad));
        EXPECT_FALSE(parsed.columns) << bad;
        EXPECT_FALSE(parsed.error.isEmpty()) << bad;
        EXPECT_FALSE(parsed.error.contains(QLatin1Char('\n'))) << bad;
    }
    EXPECT_TRUE(parseColumnList(QStringLiteral("name,start,name")).error.contains(QStringLiteral("twice")));
}

QString report(const QString& description, int line) {
    return testing::expectedReport(QStringLiteral("Form1.PushButton2_Click"), description, line);
}

QDateTime at(int d, int h) { return wallClock(QDate(2024, 5, d), QTime(h, 0)); }

// A task with further fields: numbers, flags, texts, dates and a date the plan does not have.
ServedTask detailed(const QString& name, int id) {
    ServedTask t{name, 480, at(id, 8), at(id, 17), {}};
    t.fields[static_cast<int>(TaskField::Id)] = double(id);
    t.fields[static_cast<int>(TaskField::Milestone)] = QStringLiteral("No");
    t.fields[static_cast<int>(TaskField::BaselineStart)] = at(id, 9);
    t.fields[static_cast<int>(TaskField::ActualFinish)] = QStringLiteral("NA");
    t.fields[static_cast<int>(TaskField::Cost)] = 1250.5;
    t.fields[static_cast<int>(TaskField::ResourceNames)] = QStringLiteral("Ann,Bo[50%]");
    return t;
}

class ChosenColumnsTest : public ::testing::Test {
protected:
    ImportOutcome run() { return importPlans(host, dialogs, failing, project); }
    const MemoryWorkbook& book() { return *memory.workbooks().back(); }
    QStringList row(int sheet, long r) {
        QStringList out;
        for (int c = 1; c <= book().usedColumns(sheet); ++c) {
            const Value v = book().cell(sheet, r, c);
            if (const auto* s = std::get_if<QString>(&v)) out << QStringLiteral("t:") + *s;
            else if (const auto* d = std::get_if<double>(&v)) out << QStringLiteral("n:") + QString::number(*d);
            else if (const auto* t = std::get_if<QDateTime>(&v)) out << QStringLiteral("d:") + t->toString(Qt::ISODate);
            else out << QString();
        }
        return out;
    }

    TestHost host;
    ScriptedDialogs dialogs;
    MemorySpreadsheetAutomation memory{nullptr};
    testing::FailingSpreadsheet failing{memory};
    ServedProject project;
    const std::vector<Column> chosen{Column::Plan,          Column::Name, Column::Id,   Column::Milestone,
                                     Column::BaselineStart, Column::Wbs,  Column::Finish, Column::ActualFinish,
                                     Column::Cost,          Column::ResourceNames};
};

TEST_F(ChosenColumnsTest, CellsFollowTheChosenOrderWithTheirTypesInBothLayouts) {
    project.serve(QStringLiteral("/plans/alpha.mpp"), {detailed(QStringLiteral("Design"), 1), std::nullopt,
                                                       detailed(QStringLiteral("Build"), 3)});
    project.serve(QStringLiteral("/plans/beta.xml"), {detailed(QStringLiteral("Ship"), 2)});
    host.entries = {QStringLiteral("/plans/alpha.mpp"), QStringLiteral("/plans/beta.xml")};
    host.chosenColumns = chosen;
    const QStringList header{"t:Plan",           "t:Task Name", "t:ID",          "t:Milestone", "t:Baseline Start",
                             "t:WBS",            "t:Finish Date", "t:Actual Finish", "t:Cost",    "t:Resource Names"};
    const QStringList design{"t:alpha.mpp", "t:Design", "n:1",     "t:No",     "d:2024-05-01T09:00:00Z",
                             QString(),     "d:2024-05-01T17:00:00Z", "t:NA", "n:1250.5", "t:Ann,Bo[50%]"};

    for (bool oneSheet : {true, false}) {
        SCOPED_TRACE(oneSheet);
        host.oneSheet = oneSheet;
        const ImportOutcome outcome = run();
        EXPECT_TRUE(outcome.failedFiles.isEmpty());
        EXPECT_EQ(dialogs.reports(), QStringList{});
        const int second = oneSheet ? 1 : 2;
        EXPECT_EQ(row(1, 1), header);
        EXPECT_EQ(row(second, 1), header);
        EXPECT_EQ(row(1, 2), design);
        EXPECT_EQ(row(1, 3).mid(0, 3), (QStringList{"t:alpha.mpp", "t:Build", "n:3"}));
        EXPECT_EQ(row(second, oneSheet ? 4 : 2).mid(0, 3), (QStringList{"t:beta.xml", "t:Ship", "n:2"}));
        EXPECT_EQ(book().usedRows(second), oneSheet ? 4 : 2);

        // Widths are fitted on the last sheet written, every chosen column by its header at least,
        // the resource names by their longer text.
        const int fitted = oneSheet ? 1 : 2;
        for (int c = 1; c <= 10; ++c) EXPECT_TRUE(book().columnWidth(fitted, c).has_value()) << c;
        EXPECT_GT(*book().columnWidth(fitted, 10), *book().columnWidth(fitted, 9));
    }
}

TEST_F(ChosenColumnsTest, AFailingFieldIsReportedAtTheLineOfTheNearestDefaultCell) {
    auto tasks = testing::tasks(QStringLiteral("t"), 2);
    project.serve(QStringLiteral("/p/a.mpp"), tasks);
    project.failAt(QStringLiteral("/p/a.mpp"), ServedProject::Field, 2);
    host.entries = {QStringLiteral("/p/a.mpp")};
    const QString failed = QStringLiteral("Served failure %1").arg(int(ServedProject::Field));

    // One sheet: cells from line 160 (name) to 166 (finish); the second task's fields fail.
    struct Case {
        Column column;
        int oneSheetLine, sheetPerFileLine;
    };
    for (const Case& c : {Case{Column::Id, 160, 266}, Case{Column::Work, 162, 268}, Case{Column::ActualStart, 164, 270},
                          Case{Column::BaselineFinish, 166, 272}, Case{Column::Notes, 160, 266}}) {
        for (bool oneSheet : {true, false}) {
            SCOPED_TRACE(columnKey(c.column).toStdString() + (oneSheet ? " one" : " per-file"));
            ScriptedDialogs fresh;
            host.oneSheet = oneSheet;
            host.chosenColumns = {Column::Name, c.column};
            importPlans(host, fresh, failing, project);
            ASSERT_EQ(fresh.reports().size(), 1);
            EXPECT_EQ(fresh.reports()[0], report(failed, oneSheet ? c.oneSheetLine : c.sheetPerFileLine));
            // The row is still written, the failed cell left empty.
            EXPECT_EQ(book().cell(1, 3, 1), Value(QStringLiteral("t2")));
            EXPECT_TRUE(std::holds_alternative<std::monostate>(book().cell(1, 3, 2)));
        }
    }
}

TEST_F(ChosenColumnsTest, HeaderFailuresAndOverlongNotesReportAndLeaveTheCellEmpty) {
    ServedTask task{QStringLiteral("long"), 60, at(1, 8), at(1, 9), {}};
    task.fields[static_cast<int>(TaskField::Notes)] = QString(workbook::kMaxCellText + 1, QLatin1Char('n'));
    ServedTask fits = task;
    fits.name = QStringLiteral("fits");
    fits.fields[static_cast<int>(TaskField::Notes)] = QString(workbook::kMaxCellText, QLatin1Char('n'));
    project.serve(QStringLiteral("/p/n.mpp"), {task, fits});
    host.entries = {QStringLiteral("/p/n.mpp")};
    host.chosenColumns = {Column::Name, Column::Cost, Column::Notes};
    failing.failCellWrite = 2;  // the Cost header

    run();
    const QString applicationDefined = QStringLiteral("Application-defined or object-defined error");
    ASSERT_EQ(dialogs.reports().size(), 2);
    EXPECT_TRUE(dialogs.reports()[0].contains(QStringLiteral(" at line 126\r\r")))
        << dialogs.reports()[0].toStdString();
    EXPECT_EQ(dialogs.reports()[1], report(applicationDefined, 160));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book().cell(1, 1, 2)));
    EXPECT_EQ(book().cell(1, 1, 3), Value(QStringLiteral("Notes")));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(book().cell(1, 2, 3)));
    const Value kept = book().cell(1, 3, 3);
    ASSERT_TRUE(std::holds_alternative<QString>(kept));
    EXPECT_EQ(std::get<QString>(kept).size(), workbook::kMaxCellText);
    // A column of long text is fitted no wider than a column can be.
    EXPECT_EQ(book().columnWidth(1, 3), workbook::kMaxColumnWidth);
}

TEST_F(ChosenColumnsTest, DefaultFourAskForNoFieldAndAnEmptyChoiceMeansTheFour) {
    project.serve(QStringLiteral("/p/a.mpp"), testing::tasks(QStringLiteral("t"), 1));
    project.failAt(QStringLiteral("/p/a.mpp"), ServedProject::Field, 0);  // any field asked for would report
    host.entries = {QStringLiteral("/p/a.mpp")};
    for (const std::vector<Column>& four : {defaultColumns(), std::vector<Column>{}}) {
        ScriptedDialogs fresh;
        host.chosenColumns = four;
        importPlans(host, fresh, failing, project);
        EXPECT_TRUE(fresh.reports().isEmpty());
        EXPECT_EQ(book().usedColumns(1), 4);
        EXPECT_EQ(book().cell(1, 1, 4), Value(QStringLiteral("Finish Date")));
    }
}

TEST_F(ChosenColumnsTest, ChosenColumnsReachTheXlsxFileAsTypedCells) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("cols.xlsx"));
    const auto file = makeFileSpreadsheetAutomation(out);
    project.serve(QStringLiteral("/plans/alpha.mpp"), {detailed(QStringLiteral("Design"), 1)});
    host.entries = {QStringLiteral("/plans/alpha.mpp")};
    host.chosenColumns = chosen;
    importPlans(host, dialogs, *file, project);

    const testing::xlsx::Book read = testing::xlsx::read(out);
    ASSERT_EQ(read.sheets.size(), 3u);
    const auto& cells = read.sheets[0].cells;
    EXPECT_EQ(cells.at("A1").text, QStringLiteral("Plan"));
    EXPECT_EQ(cells.at("J1").text, QStringLiteral("Resource Names"));
    EXPECT_EQ(cells.at("A2").text, QStringLiteral("alpha.mpp"));
    EXPECT_DOUBLE_EQ(cells.at("C2").number, 1);
    EXPECT_EQ(cells.at("D2").text, QStringLiteral("No"));
    EXPECT_EQ(cells.at("E2").format, QStringLiteral("m/d/yyyy h:mm"));
    EXPECT_DOUBLE_EQ(cells.at("E2").number, 45413 + 9 / 24.0);  // 2024-05-01 09:00
    EXPECT_EQ(cells.count("F2"), 0u);
    EXPECT_EQ(cells.at("H2").text, QStringLiteral("NA"));
    EXPECT_DOUBLE_EQ(cells.at("I2").number, 1250.5);
    EXPECT_TRUE(cells.at("I2").format.isEmpty());
    EXPECT_EQ(read.sheets[0].widths.size(), 10u);
}

}  // namespace
}  // namespace quorrix::importer
