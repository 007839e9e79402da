#include "importer/columns.h"

#include <QTemporaryDir>
#include <map>
#include <gtest/gtest.h>

#include "importer/backends.h"
#include "importer/import_run.h"
#include "importer/plan_project.h"
#include "importer/sheet_options.h"
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
using plans::ReadOptions;

const QString kAllKeys = QStringLiteral(
    "name,duration,start,finish,plan,project,id,activity-id,unique-id,outline-level,outline-number,wbs,"
    "percent-complete,milestone,"
    "summary,baseline-start,baseline-finish,baseline-duration,actual-start,actual-finish,cost,work,notes,resources,"
    "predecessors,successors,total-slack,free-slack,critical,constraint-type,constraint-date,deadline,priority,"
    "early-start,early-finish,late-start,late-finish,task-type,task-mode,active,estimated,duration-shown,"
    "duration-days,baseline-duration-shown,baseline-duration-days");
const QString kCustomRanges = QStringLiteral(
    "text1..text30,number1..number20,flag1..flag20,date1..date10,start1..start10,finish1..finish10,"
    "duration1..duration10,cost1..cost10,outline-code1..outline-code10,alias:NAME");

// Every key one by one: the fixed ones, then each custom field.
QString everyKey() {
    QStringList keys = kAllKeys.split(QLatin1Char(','));
    for (const QString& range : kCustomRanges.split(QLatin1Char(','))) {
        const int dots = range.indexOf(QLatin1String(".."));
        if (dots < 0) continue;
        const QString first = range.left(dots);
        const qsizetype digits = first.size() - 1;
        const QString stem = first.left(digits);
        const int last = range.mid(dots + 2 + stem.size()).toInt();
        for (int n = 1; n <= last; ++n) keys << stem + QString::number(n);
    }
    return keys.join(QLatin1Char(','));
}

TEST(Columns, KeysHeadersAndFieldsInListOrder) {
    EXPECT_EQ(columnKeyList(), kAllKeys + QLatin1Char(',') + kCustomRanges);
    QStringList headers;
    for (Column c : allColumns()) headers << columnHeader(c);
    EXPECT_EQ(headers.mid(0, 45),
              (QStringList{"Task Name", "Duration", "Start Date", "Finish Date", "Plan", "Project", "ID",
                           "Activity ID", "Unique ID", "Outline Level", "Outline Number", "WBS", "% Complete", "Milestone", "Summary",
                           "Baseline Start", "Baseline Finish", "Baseline Duration", "Actual Start", "Actual Finish",
                           "Cost", "Work", "Notes", "Resource Names", "Predecessors", "Successors", "Total Slack",
                           "Free Slack", "Critical", "Constraint Type", "Constraint Date", "Deadline", "Priority",
                           "Early Start", "Early Finish", "Late Start", "Late Finish", "Task Type", "Task Mode",
                           "Active", "Estimated", "Duration (Shown)", "Duration (Days)", "Baseline Duration (Shown)",
                           "Baseline Duration (Days)"}));
    EXPECT_EQ(headers.mid(45, 2), (QStringList{"Text1", "Text2"}));
    EXPECT_EQ(headers.last(), QStringLiteral("Outline Code10"));
    EXPECT_EQ(columnListText(defaultColumns()), QStringLiteral("name,duration,start,finish"));
    EXPECT_EQ(extraColumns().size(), 41u + 130u);
    EXPECT_EQ(columnField(Column::Predecessors), TaskField::Predecessors);
    EXPECT_EQ(columnField(Column::BaselineDurationDays), TaskField::BaselineDurationDays);
    EXPECT_FALSE(columnField(Column::custom(0)));
    EXPECT_TRUE(needsTaskFields({Column::Name, Column::custom(3)}));
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

    const ColumnChoice all = parseColumnList(everyKey());
    ASSERT_TRUE(all.columns);
    EXPECT_EQ(*all.columns, allColumns());

    // A custom field by the name the plan gives it; the name keeps its letter case, and compares
    // without regard to it.
    const ColumnChoice named = parseColumnList(QStringLiteral("name, alias:Region ,TEXT3,Outline-Code2"));
    ASSERT_TRUE(named.columns);
    EXPECT_EQ(columnListText(*named.columns), QStringLiteral("name,alias:Region,text3,outline-code2"));
    EXPECT_EQ(columnHeader(named.columns->at(1)), QStringLiteral("Region"));
    EXPECT_TRUE(parseColumnList(QStringLiteral("alias:Region,alias:REGION")).error.contains(QStringLiteral("twice")));
    EXPECT_FALSE(parseColumnList(QStringLiteral("alias: ")).columns);
    EXPECT_FALSE(parseColumnList(QStringLiteral("text31")).columns);
    EXPECT_FALSE(parseColumnList(QStringLiteral("text0")).columns);

    // Ranges of one kind, as the key list shows them, stand for their fields in order: the whole
    // list of ranges is every key.
    const ColumnChoice ranges = parseColumnList(kAllKeys + QLatin1Char(',') + kCustomRanges.chopped(11));
    ASSERT_TRUE(ranges.columns) << ranges.error.toStdString();
    EXPECT_EQ(*ranges.columns, allColumns());
    struct Case {
        const char* list;
        const char* columns;  // nullptr: refused
    };
    for (const Case& c : {Case{"name, Number3 .. number5", "name,number3,number4,number5"},
                          Case{"outline-code10..outline-code10", "outline-code10"},
                          Case{"text5..text2", nullptr}, Case{"text1..number2", nullptr},
                          Case{"text1..text31", nullptr}, Case{"name..finish", nullptr}, Case{"text1..", nullptr},
                          Case{"text2,text1..text3", nullptr}}) {
        const ColumnChoice choice = parseColumnList(QString::fromLatin1(c.list));
        if (!c.columns) {
            EXPECT_FALSE(choice.columns) << c.list;
            EXPECT_FALSE(choice.error.isEmpty()) << c.list;
            continue;
        }
        ASSERT_TRUE(choice.columns) << c.list << ": " << choice.error.toStdString();
        EXPECT_EQ(columnListText(*choice.columns), QString::fromLatin1(c.columns)) << c.list;
    }

    // Only what the columns show is read: the schedule for a schedule column, a custom field for
    // its own column, every custom field for a name.
    using Columns = std::vector<Column>;
    const ReadOptions plain = readOptionsFor(taskFieldNeed(Columns{Column::Name, Column::Notes}));
    EXPECT_TRUE(plain.details);
    EXPECT_FALSE(plain.schedule);
    EXPECT_TRUE(plain.custom.none());
    const ReadOptions schedule =
        readOptionsFor(taskFieldNeed(Columns{Column::Name, Column::Critical, Column::custom(5)}));
    EXPECT_TRUE(schedule.schedule);
    EXPECT_EQ(schedule.custom.count(), 1u);
    EXPECT_TRUE(schedule.custom.test(5));
    EXPECT_TRUE(readOptionsFor(taskFieldNeed(*named.columns)).custom.all());

    const ColumnChoice unknown = parseColumnList(QStringLiteral("name,colour"));
    EXPECT_FALSE(unknown.columns);
    EXPECT_TRUE(unknown.error.contains(QStringLiteral("colour")));
    EXPECT_TRUE(unknown.error.contains(kAllKeys));
    EXPECT_TRUE(unknown.error.contains(kCustomRanges));

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

namespace quorrix::importer {
namespace {

// Plans built in memory, served by the plan-file project application as if read from files.
plans::Plan customPlan(std::vector<std::pair<int, QString>> aliases, int slot, double number) {
    plans::Plan plan;
    plan.customHeld.set(static_cast<std::size_t>(plans::customSlot(plans::CustomKind::Text, 1)));
    plan.customHeld.set(static_cast<std::size_t>(plans::customSlot(plans::CustomKind::Number, 1)));
    plan.customHeld.set(static_cast<std::size_t>(plans::customSlot(plans::CustomKind::Number, 2)));
    plan.customAliases = std::move(aliases);
    plans::PlanTask task{QStringLiteral("T"), 480, wallClock(QDate(2024, 5, 1), QTime(8, 0)),
                         wallClock(QDate(2024, 5, 1), QTime(17, 0)), nullptr};
    auto details = std::make_shared<plans::TaskDetails>();
    details->custom.push_back({static_cast<std::uint8_t>(slot), number, {}, {}});
    details->schedule.critical = true;
    task.details = details;
    plan.positions.emplace_back(task);
    return plan;
}

TEST(CustomColumns, HeadersTakeThePlansNamesAndNamesPickEachPlansOwnField) {
    const int text1 = plans::customSlot(plans::CustomKind::Text, 1);
    const int number1 = plans::customSlot(plans::CustomKind::Number, 1);
    const int number2 = plans::customSlot(plans::CustomKind::Number, 2);
    const std::map<QString, plans::Plan> plans{
        {QStringLiteral("/a.xml"), customPlan({{number1, QStringLiteral("Budget")}}, number1, 7)},
        {QStringLiteral("/b.xml"), customPlan({{number2, QStringLiteral("budget")}}, number2, 9)},
        {QStringLiteral("/c.xml"), customPlan({}, number1, 4)},
        {QStringLiteral("/d.xml"), customPlan({{number1, QStringLiteral("Cash")}, {text1, QStringLiteral("Area")}},
                                              number1, 5)},
    };
    struct Case {
        QStringList files;
        bool oneSheet;
        QStringList headers;        // of the first sheet
        QStringList firstRow;       // its first task
    };
    const QString columns = QStringLiteral("name,number1,alias:Budget,text1,number3,critical");
    const Case cases[] = {
        // Named alike by every plan that names it: the name; a plan that names none does not count.
        {{"/a.xml", "/c.xml"}, true, {"Task Name", "Budget", "Budget", "Text1", "Number3", "Critical"},
         {"T", "7", "7", "", "", "Yes"}},
        // Named otherwise by one plan: the field's own name.
        {{"/a.xml", "/d.xml"}, true, {"Task Name", "Number1", "Budget", "Area", "Number3", "Critical"},
         {"T", "7", "7", "", "", "Yes"}},
        // A name picks whichever field the plan calls so; a plan without it leaves the cell empty.
        {{"/b.xml", "/c.xml"}, true, {"Task Name", "Number1", "Budget", "Text1", "Number3", "Critical"},
         {"T", "0", "9", "", "", "Yes"}},
        // A sheet per plan: each plan's own names.
        {{"/d.xml"}, false, {"Task Name", "Cash", "Budget", "Area", "Number3", "Critical"},
         {"T", "5", "", "", "", "Yes"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.join(QLatin1Char(',')).toStdString());
        PlanProjectAutomation project([&plans](const QString& path, const ReadOptions&) { return plans.at(path); });
        testing::TestHost host;
        host.entries = c.files;
        host.oneSheet = c.oneSheet;
        host.chosenColumns = *parseColumnList(columns).columns;
        testing::ScriptedDialogs dialogs;
        workbook::MemorySpreadsheetAutomation memory{nullptr};
        importPlans(host, dialogs, memory, project);
        EXPECT_EQ(dialogs.reports(), QStringList{});
        const workbook::MemoryWorkbook& book = *memory.workbooks().back();
        QStringList headers, first;
        for (int col = 1; col <= 6; ++col) {
            const Value h = book.cell(1, 1, col);
            headers << (std::holds_alternative<QString>(h) ? std::get<QString>(h) : QString());
            const Value v = book.cell(1, 2, col);
            if (const auto* s = std::get_if<QString>(&v)) first << *s;
            else if (const auto* d = std::get_if<double>(&v)) first << QString::number(*d);
            else first << QString();
        }
        EXPECT_EQ(headers, c.headers);
        EXPECT_EQ(first, c.firstRow);
    }
}

}  // namespace
}  // namespace quorrix::importer
