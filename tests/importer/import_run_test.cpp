#include "importer/import_run.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <map>

#include "importer/workbook/memory_spreadsheet.h"
#include "importer/workbook/presenters.h"
#include "importer/workbook/xlsx_reading.h"
#include "platform/file_facts.h"
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

QString report(const QString& description, int line) {
    return testing::expectedReport(QStringLiteral("Form1.PushButton2_Click"), description, line);
}

class ImportRunTest : public ::testing::Test {
protected:
    ImportOutcome run() { return importPlans(host, dialogs, failing, project); }
    const MemoryWorkbook& book() {
        EXPECT_EQ(memory.workbooks().size(), 1u);
        return *memory.workbooks().back();
    }
    // The values of a sheet's row as text, for compact comparison.
    QStringList row(const MemoryWorkbook& b, int sheet, long r) {
        QStringList out;
        for (int c = 1; c <= 4; ++c) {
            const Value v = b.cell(sheet, r, c);
            if (const auto* s = std::get_if<QString>(&v)) out << *s;
            else if (const auto* d = std::get_if<double>(&v)) out << QString::number(*d);
            else if (const auto* t = std::get_if<QDateTime>(&v)) out << t->toString(Qt::ISODate);
            else out << QString();
        }
        return out;
    }
    void checkHeader(const MemoryWorkbook& b, int sheet) {
        EXPECT_EQ(row(b, sheet, 1), (QStringList{"Task Name", "Duration", "Start Date", "Finish Date"}));
    }

    TestHost host;
    ScriptedDialogs dialogs;
    MemorySpreadsheetAutomation memory{nullptr};
    testing::FailingSpreadsheet failing{memory};
    ServedProject project;
};

TEST_F(ImportRunTest, OneSheetPutsEveryFileBelowTheLastWithoutGaps) {
    auto first = testing::tasks(QStringLiteral("a"), 3);
    first.insert(first.begin() + 1, std::nullopt);  // a blank row at position 2
    project.serve(QStringLiteral("/plans/first.mpp"), first);
    auto second = testing::tasks(QStringLiteral("b"), 2);
    second.push_back(std::nullopt);
    project.serve(QStringLiteral("/plans/second.mpp"), second);
    host.entries = {QStringLiteral("/plans/first.mpp"), QStringLiteral("/plans/second.mpp")};

    const ImportOutcome outcome = run();

    const MemoryWorkbook& b = book();
    ASSERT_EQ(b.sheetCount(), 3);
    EXPECT_EQ(b.sheet(1).name, QStringLiteral("Sheet1"));
    checkHeader(b, 1);
    EXPECT_EQ(row(b, 1, 2), (QStringList{"a1", "60", "2024-03-04T08:00:00Z", "2024-03-04T09:00:00Z"}));
    EXPECT_EQ(row(b, 1, 3), (QStringList{"a2", "120", "2024-03-05T08:00:00Z", "2024-03-05T10:00:00Z"}));
    EXPECT_EQ(row(b, 1, 4).front(), QStringLiteral("a3"));
    EXPECT_EQ(row(b, 1, 5).front(), QStringLiteral("b1"));  // right below the first file's last task
    EXPECT_EQ(row(b, 1, 6).front(), QStringLiteral("b2"));
    EXPECT_EQ(b.usedRows(1), 6);
    EXPECT_EQ(b.usedRows(2), 0);
    EXPECT_EQ(b.usedRows(3), 0);
    EXPECT_TRUE(std::holds_alternative<double>(b.cell(1, 2, 2)));
    EXPECT_TRUE(std::holds_alternative<QDateTime>(b.cell(1, 2, 3)));
    EXPECT_TRUE(b.columnWidth(1, 1).has_value());
    EXPECT_EQ(b.activeSheet(), 1);

    EXPECT_EQ(host.progressValues, (std::vector<double>{50, 100, 0}));
    EXPECT_EQ(host.progressTexts,
              (QStringList{"Processing: first.mpp", "Processing: second.mpp", "Progress Bar"}));
    using Step = std::tuple<int, int, QString>;
    EXPECT_EQ(host.progressSteps, (std::vector<Step>{{1, 2, "first.mpp"}, {2, 2, "second.mpp"}, {0, 0, ""}}));
    EXPECT_EQ(host.pointerKinds.back(), 0);
    EXPECT_EQ(host.pointerKinds.front(), 11);
    EXPECT_EQ(host.running, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.processEventsCalls, 4);

    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Done.")});
    EXPECT_TRUE(dialogs.calls.back().onTop);  // kept above the spreadsheet that shows the workbook
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_TRUE(outcome.failedFiles.isEmpty());
    EXPECT_EQ(project.log.mid(0, 5),
              (QStringList{"Create Msproject.Application", "FileOpen ReadOnly /plans/first.mpp",
                           "TasksCount /plans/first.mpp", "FileClose 0 /plans/first.mpp", "Quit"}));
    EXPECT_EQ(project.applicationsCreated, 2);
    EXPECT_EQ(project.applicationsAlive, 0);
}

TEST_F(ImportRunTest, SheetPerFileGivesOneSheetPerEntryAndDropsTheTemporarySheets) {
    project.serve(QStringLiteral("/p/one.mpp"), testing::tasks(QStringLiteral("x"), 2));
    project.serve(QStringLiteral("/p/two.mpp"), testing::tasks(QStringLiteral("y"), 1));
    host.entries = {QStringLiteral("/p/one.mpp"), QStringLiteral("/p/missing.mpp"), QStringLiteral("/p/two.mpp")};
    host.oneSheet = false;

    const ImportOutcome outcome = run();

    const MemoryWorkbook& b = book();
    ASSERT_EQ(b.sheetCount(), 3);
    EXPECT_EQ(b.sheet(1).name, QStringLiteral("Sheet4"));
    EXPECT_EQ(b.sheet(2).name, QStringLiteral("Sheet5"));
    EXPECT_EQ(b.sheet(3).name, QStringLiteral("Sheet6"));
    for (int s = 1; s <= 3; ++s) checkHeader(b, s);
    EXPECT_EQ(row(b, 1, 2).front(), QStringLiteral("x1"));
    EXPECT_EQ(row(b, 1, 3).front(), QStringLiteral("x2"));
    EXPECT_EQ(b.usedRows(2), 1);  // the failed file keeps its header-only sheet
    EXPECT_EQ(row(b, 3, 2).front(), QStringLiteral("y1"));
    EXPECT_EQ(b.activeSheet(), 1);  // the first file's sheet is shown
    for (int s = 1; s <= 3; ++s) EXPECT_TRUE(b.columnWidth(s, 1).has_value()) << s;  // every sheet is fitted

    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_EQ(dialogs.reports()[0], report(QStringLiteral("The file \"/p/missing.mpp\" does not exist."), 236));
    EXPECT_EQ(dialogs.messages(),
              QStringList{QStringLiteral("Done.\r\nThese files could not be imported:\r\n/p/missing.mpp")});
    EXPECT_EQ(outcome.failedFiles, QStringList{QStringLiteral("/p/missing.mpp")});
}

// The written file, read back: every task sheet carries the widths its own longest values need.
TEST_F(ImportRunTest, SheetPerFileWritesEverySheetFitted) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sheets.xlsx"));
    MemorySpreadsheetAutomation written{std::make_shared<workbook::FilePresenter>(file)};
    testing::FailingSpreadsheet writing{written};
    const QString longName = QStringLiteral("A task whose name runs on well past the standard width");
    project.serve(QStringLiteral("/p/long.mpp"), {ServedTask{longName, 60, {}, {}, {}}});
    project.serve(QStringLiteral("/p/short.mpp"), testing::tasks(QStringLiteral("s"), 2));
    host.entries = {QStringLiteral("/p/long.mpp"), QStringLiteral("/p/missing.mpp"), QStringLiteral("/p/short.mpp")};
    host.oneSheet = false;
    importPlans(host, dialogs, writing, project);

    const testing::xlsx::Book got = testing::xlsx::read(file);
    ASSERT_EQ(got.sheets.size(), 3u);
    EXPECT_EQ(got.sheets[0].name, QStringLiteral("Sheet4"));
    for (const auto& sheet : got.sheets) {
        SCOPED_TRACE(sheet.name.toStdString());
        EXPECT_EQ(sheet.widths.size(), 4u);
    }
    // The first file's long name widens its own column A, and only there.
    EXPECT_GT(got.sheets[0].widths.at(1), 2 * got.sheets[2].widths.at(1));
    // The failed file's header-only sheet and the short names' sheet: both as wide as "Task Name".
    EXPECT_EQ(got.sheets[1].widths.at(1), got.sheets[2].widths.at(1));
}

TEST_F(ImportRunTest, AllFilesFailingListsEveryPathInBothLayouts) {
    for (bool oneSheet : {true, false}) {
        SCOPED_TRACE(oneSheet);
        ScriptedDialogs fresh;
        host.oneSheet = oneSheet;
        host.entries = {QStringLiteral("/x/a.mpp"), QStringLiteral("b.mpp")};
        importPlans(host, fresh, failing, project);
        const MemoryWorkbook& b = *memory.workbooks().back();
        if (oneSheet) {
            checkHeader(b, 1);
            EXPECT_EQ(b.usedRows(1), 1);
        } else {
            ASSERT_EQ(b.sheetCount(), 2);
            EXPECT_EQ(b.usedRows(1), 1);
            EXPECT_EQ(b.usedRows(2), 1);
        }
        EXPECT_EQ(fresh.messages(),
                  QStringList{QStringLiteral("Done.\r\nThese files could not be imported:\r\n/x/a.mpp\r\nb.mpp")});
        ASSERT_EQ(fresh.reports().size(), 2);
        EXPECT_TRUE(fresh.reports()[1].contains(QStringLiteral(" at line %1\r\r").arg(oneSheet ? 142 : 236)));
    }
    EXPECT_EQ(host.progressTexts.mid(0, 2), (QStringList{"Processing: a.mpp", "Processing: b.mpp"}));
}

TEST_F(ImportRunTest, EmptyListSaysNoFilesAddedAndCreatesNothing) {
    run();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("No files added.")});
    EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("Quorrix"));
    EXPECT_FALSE(dialogs.calls[0].onTop);
    EXPECT_TRUE(memory.workbooks().empty());
    EXPECT_EQ(project.applicationsCreated, 0);
    EXPECT_TRUE(host.running.empty());
}

TEST_F(ImportRunTest, PlansAreReadForTheFieldsTheColumnsSheetAndRowsLookAt) {
    struct Reading : PlanReading {
        std::vector<plans::ReadOptions> given;
        void readWith(const plans::ReadOptions& options) override { given.push_back(options); }
    };
    using C = Column;
    const std::vector<C> four = defaultColumns();
    const auto with = [&](C extra) {
        std::vector<C> c = four;
        c.push_back(extra);
        return c;
    };
    struct Case {
        std::vector<C> columns;
        SheetOptions sheet;
        RowSelection rows;
        bool details;
        unsigned only;
    };
    SheetOptions grouped;
    grouped.groupOutline = true;
    RowSelection milestones, unfinished;
    milestones.milestonesOnly = true;
    unfinished.unfinishedOnly = true;
    const Case cases[] = {
        {four, {}, {}, false, 0},
        {with(C::OutlineLevel), {}, {}, true, plans::kOutlineLevelDetail},
        {with(C::Wbs), {}, {}, true, 0},  // every field
        {four, grouped, milestones, true, plans::kOutlineLevelDetail | plans::kMilestoneDetail},
        {four, {}, unfinished, true, plans::kPercentCompleteDetail},
    };
    for (const Case& c : cases) {
        TestHost caseHost;
        caseHost.entries = {QStringLiteral("/p/a.mpp")};
        caseHost.chosenColumns = c.columns;
        caseHost.chosenSheet = c.sheet;
        caseHost.chosenRows = c.rows;
        ScriptedDialogs caseDialogs;
        ServedProject served;
        Reading reading;
        importPlans(caseHost, caseDialogs, failing, served, &reading);
        ASSERT_EQ(reading.given.size(), 1u);
        EXPECT_EQ(reading.given[0].details, c.details);
        EXPECT_EQ(reading.given[0].only, c.only);
    }
    // A run that stops before it reads the choice tells nothing.
    Reading none;
    importPlans(host, dialogs, failing, project, &none);
    EXPECT_TRUE(none.given.empty());
}

TEST_F(ImportRunTest, RunningSpreadsheetIsAskedAboutFirst) {
    failing.running = true;
    dialogs.answerMessage(MsgAnswer::No);
    project.serve(QStringLiteral("/a.mpp"), testing::tasks(QStringLiteral("t"), 1));
    host.entries = {QStringLiteral("/a.mpp")};
    const ImportOutcome declined = run();
    EXPECT_FALSE(declined.ran);
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text,
              QStringLiteral("Excel may be open. It is recommended that you close Excel first.\rUse Ctrl+Alt+Del > "
                             "Task Manager > EXCEL.EXE if necessary.\r\n\r\nWould you like to proceed anyway?"));
    EXPECT_EQ(dialogs.calls[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(memory.workbooks().empty());
    EXPECT_TRUE(host.progressTexts.isEmpty());

    // Before the empty-list check, and Yes goes on.
    host.entries.clear();
    dialogs.answerMessage(MsgAnswer::Yes);
    run();
    EXPECT_EQ(dialogs.messages().mid(2), QStringList{QStringLiteral("No files added.")});

    // Something else answering is no spreadsheet application: no question.
    failing.runningAnswer = QStringLiteral("Microsoft Word");
    ScriptedDialogs quiet;
    importPlans(host, quiet, failing, project);
    EXPECT_EQ(quiet.messages(), QStringList{QStringLiteral("No files added.")});
}

TEST_F(ImportRunTest, EachFailingProjectStepIsReportedWithItsLineAndTheRunGoesOn) {
    const QString a = QStringLiteral("/a.mpp"), b = QStringLiteral("/b.mpp"), c = QStringLiteral("/c.mpp"),
                  d = QStringLiteral("/d.mpp");
    for (const QString& p : {a, b, c, d}) project.serve(p, testing::tasks(p.mid(1, 1), 2));
    project.failAt(a, ServedProject::ProjectsCount);  // a failing test counts as passed: imported
    project.failAt(b, ServedProject::ActiveProject);  // nothing active: listed
    project.failAt(c, ServedProject::TasksCount);     // no count: listed, never loops blindly
    project.failAt(d, ServedProject::Name, 2);        // one cell stays empty
    host.entries = {a, b, c, d};

    const ImportOutcome outcome = run();

    EXPECT_EQ(dialogs.reports(), (QStringList{report("Served failure 3", 148), report("Served failure 4", 150),
                                              report("Served failure 5", 154), report("Served failure 7", 160)}));
    const MemoryWorkbook& bk = book();
    EXPECT_EQ(row(bk, 1, 2).front(), QStringLiteral("a1"));
    EXPECT_EQ(row(bk, 1, 3).front(), QStringLiteral("a2"));
    EXPECT_EQ(row(bk, 1, 4).front(), QStringLiteral("d1"));
    EXPECT_EQ(row(bk, 1, 5), (QStringList{"", "120", "2024-03-05T08:00:00Z", "2024-03-05T10:00:00Z"}));
    EXPECT_EQ(outcome.failedFiles, (QStringList{b, c}));
    EXPECT_EQ(dialogs.messages(),
              QStringList{QStringLiteral("Done.\r\nThese files could not be imported:\r\n/b.mpp\r\n/c.mpp")});
    EXPECT_TRUE(project.log.contains(QStringLiteral("FileClose 0 /b.mpp")));
    EXPECT_EQ(project.applicationsAlive, 0);
}

// Each step of a plan's import that fails is reported at its own line, which differs between
// the layouts; the first report of a run whose one plan fails at that step.
TEST_F(ImportRunTest, EachStepOfAPlanReportsAtItsLineInBothLayouts) {
    struct Case {
        ServedProject::Op op;
        long position;  // of the task, for the task's operations
        int oneSheetLine, sheetPerFileLine;
    };
    const Case cases[] = {
        {ServedProject::Create, 0, 140, 234},        {ServedProject::FileOpen, 0, 142, 236},
        {ServedProject::Visible, 0, 146, 0},         {ServedProject::ProjectsCount, 0, 148, 252},
        {ServedProject::ActiveProject, 0, 150, 254}, {ServedProject::TasksCount, 0, 154, 260},
        {ServedProject::TaskItem, 2, 156, 262},      {ServedProject::Name, 2, 160, 266},
        {ServedProject::Duration, 1, 162, 268},      {ServedProject::Start, 1, 164, 270},
        {ServedProject::Finish, 2, 166, 272},        {ServedProject::FileClose, 0, 180, 286},
        {ServedProject::Quit, 0, 198, 304},
    };
    for (const Case& c : cases) {
        for (const bool oneSheet : {true, false}) {
            const int line = oneSheet ? c.oneSheetLine : c.sheetPerFileLine;
            if (line == 0) continue;  // a step of the other layout only
            ServedProject served;
            served.serve(QStringLiteral("/a.mpp"), testing::tasks(QStringLiteral("a"), 2));
            // Creating an application knows no path yet, quitting none any more.
            const bool noPath = c.op == ServedProject::Create || c.op == ServedProject::Quit;
            served.failAt(noPath ? QString() : QStringLiteral("/a.mpp"), c.op, c.position);
            TestHost runHost;
            runHost.entries = {QStringLiteral("/a.mpp")};
            runHost.oneSheet = oneSheet;
            ScriptedDialogs runDialogs;
            MemorySpreadsheetAutomation spreadsheet(nullptr);
            importPlans(runHost, runDialogs, spreadsheet, served);
            const QStringList reports = runDialogs.reports();
            ASSERT_FALSE(reports.isEmpty()) << c.op << (oneSheet ? " one sheet" : " sheet per file");
            EXPECT_EQ(reports.front(), report(QStringLiteral("Served failure %1").arg(c.op), line))
                << c.op << (oneSheet ? " one sheet" : " sheet per file");
            EXPECT_EQ(served.applicationsAlive, 0);
        }
    }
}

TEST_F(ImportRunTest, FailingCellWriteAndSheetNamingAreReportedAndTheRunGoesOn) {
    project.serve(QStringLiteral("/a.mpp"), testing::tasks(QStringLiteral("a"), 2));
    host.entries = {QStringLiteral("/a.mpp")};
    host.oneSheet = false;
    failing.failSheetName = 2;
    failing.failCellWrite = 6;  // 4 header cells, then the first task's duration

    run();

    EXPECT_EQ(dialogs.reports(),
              (QStringList{report("Subscript out of range", 222),
                           report("Application-defined or object-defined error", 268),
                           report("Subscript out of range", 318)}));
    const MemoryWorkbook& b = book();
    // "Sheet2" could not be renamed, so it stays; the temporary ones are gone.
    ASSERT_EQ(b.sheetCount(), 2);
    EXPECT_EQ(b.sheet(1).name, QStringLiteral("Sheet2"));
    EXPECT_EQ(b.sheet(2).name, QStringLiteral("Sheet4"));
    EXPECT_EQ(row(b, 2, 2), (QStringList{"a1", "", "2024-03-04T08:00:00Z", "2024-03-04T09:00:00Z"}));
    EXPECT_EQ(row(b, 2, 3).front(), QStringLiteral("a2"));
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Done.")});
}

TEST_F(ImportRunTest, NoSpreadsheetApplicationStillRunsEveryFile) {
    failing.failCreate = true;
    project.serve(QStringLiteral("/a.mpp"), testing::tasks(QStringLiteral("a"), 1));
    host.entries = {QStringLiteral("/a.mpp")};
    run();
    const QStringList r = dialogs.reports();
    ASSERT_GE(r.size(), 8);
    EXPECT_EQ(r[0], report("ActiveX component can't create object", 116));
    EXPECT_EQ(r[1], report("Object required", 118));
    EXPECT_TRUE(project.log.contains(QStringLiteral("FileOpen ReadOnly /a.mpp")));
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Done.")});
}

TEST_F(ImportRunTest, LargePlansAreImportedInFull) {
    auto big = testing::tasks(QStringLiteral("t"), 40000);
    project.serve(QStringLiteral("/big.mpp"), big);
    host.entries = {QStringLiteral("/big.mpp")};
    run();
    const MemoryWorkbook& b = book();
    EXPECT_EQ(b.usedRows(1), 40001);
    EXPECT_EQ(row(b, 1, 40001).front(), QStringLiteral("t40000"));
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Done.")});
}

TEST_F(ImportRunTest, EntriesRemovedDuringTheRunEndTheLoopWithoutReadingPastTheEnd) {
    for (const char* p : {"/1.mpp", "/2.mpp", "/3.mpp"})
        project.serve(QString::fromLatin1(p), testing::tasks(QStringLiteral("k"), 1));
    host.entries = {QStringLiteral("/1.mpp"), QStringLiteral("/2.mpp"), QStringLiteral("/3.mpp")};
    int yields = 0;
    host.onProcessEvents = [&] {
        if (++yields == 2) host.entries.clear();  // Clear List while the first file is read
    };
    run();
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_EQ(project.applicationsCreated, 1);
    EXPECT_EQ(book().usedRows(1), 2);
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(host.running, (std::vector<bool>{true, false}));
}

// Plans of many tasks served without holding them: task t of plan "/p.mpp" is named "p-t".
class ManyTasks : public ProjectAutomation {
public:
    std::map<QString, long> counts;

    std::unique_ptr<ProjectApplication> create(const QString&) override { return std::make_unique<App>(*this); }

private:
    struct Task : ProjectTask {
        explicit Task(QString n) : name_(std::move(n)) {}
        Value name() override { return name_; }
        Value duration() override { return 60.0; }
        Value start() override { return {}; }
        Value finish() override { return {}; }
        Value field(TaskField) override { return {}; }
        QString name_;
    };
    struct Active : ActiveProject {
        Active(QString stem, long count) : stem_(std::move(stem)), count_(count) {}
        long tasksCount() override { return count_; }
        std::unique_ptr<ProjectTask> taskItem(long t) override {
            return std::make_unique<Task>(stem_ + QLatin1Char('-') + QString::number(t));
        }
        QString stem_;
        long count_;
    };
    struct App : ProjectApplication {
        explicit App(ManyTasks& m) : m_(m) {}
        void fileOpen(const QString& path, bool) override { path_ = path; }
        void setVisible(bool) override {}
        int projectsCount() override { return 1; }
        std::unique_ptr<ActiveProject> activeProject() override {
            return std::make_unique<Active>(path_.mid(1).chopped(4), m_.counts.at(path_));
        }
        void fileClose(int) override {}
        void quit() override {}
        ManyTasks& m_;
        QString path_;
    };
};

TEST_F(ImportRunTest, AFullSheetGivesOneReportAFileAndListsWhatDidNotFit) {
    ManyTasks many;
    // Rows 2 to 1,048,575 are taken by the first plan; the second gets the last row only.
    many.counts = {{"/big.mpp", 1048574}, {"/over.mpp", 5}, {"/none.mpp", 0}, {"/later.mpp", 1}};
    host.entries = {QStringLiteral("/big.mpp"), QStringLiteral("/over.mpp"), QStringLiteral("/none.mpp"),
                    QStringLiteral("/later.mpp")};
    const ImportOutcome outcome = importPlans(host, dialogs, failing, many);

    EXPECT_EQ(dialogs.reports(), (QStringList{report("The sheet is full: 4 tasks of this file did not fit.", 160),
                                              report("The sheet is full: 1 task of this file did not fit.", 160)}));
    EXPECT_EQ(outcome.failedFiles, (QStringList{"/over.mpp", "/later.mpp"}));
    EXPECT_EQ(dialogs.messages(),
              QStringList{QStringLiteral("Done.\r\nThese files could not be imported:\r\n/over.mpp\r\n/later.mpp")});
    const MemoryWorkbook& b = book();
    EXPECT_EQ(row(b, 1, 1048575).front(), QStringLiteral("big-1048574"));
    EXPECT_EQ(row(b, 1, 1048576).front(), QStringLiteral("over-1"));
    EXPECT_EQ(b.usedRows(1), 1048576);
}

TEST(FileNameOf, TakesThePartAfterTheLastSeparator) {
    EXPECT_EQ(Main::FileNameOf(QStringLiteral("/home/ana/plans/a b.mpp")), QStringLiteral("a b.mpp"));
    EXPECT_EQ(Main::FileNameOf(QStringLiteral("plan.mpp")), QStringLiteral("plan.mpp"));
    EXPECT_EQ(Main::FileNameOf(QStringLiteral("/plans/")), QString());
}

}  // namespace
}  // namespace quorrix::importer
