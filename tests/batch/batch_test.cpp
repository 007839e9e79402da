#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "batch/batch_options.h"
#include "batch/console_dialogs.h"
#include "importer/plans/plan_reader.h"
#include "importer/workbook/xlsx_reading.h"
#include "support/full_folder.h"
#include "support/scripted_dialogs.h"
#include "support/test_data.h"

namespace quorrix::batch {
namespace {

struct Result {
    int exitCode = -1;
    QString out, err;
};

Result runBatch(const QStringList& arguments) {
    QProcess p;
    p.start(QStringLiteral(QUORRIX_BATCH), arguments);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

QString plans() { return QStringLiteral(QUORRIX_TESTDATA "/plans"); }

// A plan of our own in Project XML, one task for each name.
QString writePlan(const QString& path, const QStringList& names) {
    QByteArray xml = "<Project xmlns=\"http://schemas.microsoft.com/project\"><Name>p</Name><Tasks>";
    for (int i = 0; i < names.size(); ++i)
        xml += "<Task><UID>" + QByteArray::number(i + 1) + "</UID><ID>" + QByteArray::number(i + 1) + "</ID><Name>" +
               names[i].toUtf8() + "</Name></Task>";
    xml += "</Tasks></Project>";
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(xml);
    return path;
}

QStringList hiddenAndAll(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

TEST(BatchOptions, ParsesLayoutsAndRefusesWhatItCannotUse) {
    const auto ok = parseOptions({"--layout", "sheet-per-file", "--output=o.xlsx", "a", "--extension", "mpp", "b"});
    ASSERT_TRUE(ok.options);
    EXPECT_FALSE(ok.options->oneSheet);
    EXPECT_EQ(ok.options->output, QStringLiteral("o.xlsx"));
    EXPECT_EQ(ok.options->extension, QStringLiteral("mpp"));
    EXPECT_EQ(ok.options->paths, (QStringList{"a", "b"}));

    EXPECT_TRUE(parseOptions({"--list", "x"}).options);  // listing needs no output
    EXPECT_TRUE(parseOptions({"--output", "o.xlsx", "--", "--odd-name"}).options);
    EXPECT_EQ(parseOptions({"--output", "o.xlsx", "--", "--odd-name"}).options->paths, QStringList{"--odd-name"});
    for (const QStringList& bad : {QStringList{"--layout", "wide", "--output", "o", "a"}, QStringList{"a"},
                                   QStringList{"--output", "o.xlsx"}, QStringList{"--bogus", "a"},
                                   QStringList{"--output"}}) {
        const auto parsed = parseOptions(bad);
        EXPECT_FALSE(parsed.options) << bad.join(' ').toStdString();
        EXPECT_FALSE(parsed.error.isEmpty());
    }
}

TEST(BatchOptions, ColumnsAreTakenInTheOrderGivenAndUnknownKeysListTheValidOnes) {
    using importer::Column;
    const auto plain = parseOptions({"--output", "o.xlsx", "a"});
    ASSERT_TRUE(plain.options);
    EXPECT_EQ(plain.options->columns,
              (std::vector<Column>{Column::Name, Column::Duration, Column::Start, Column::Finish}));

    const auto chosen = parseOptions({"--columns", "plan,name,unique-id,resources", "--output", "o.xlsx", "a"});
    ASSERT_TRUE(chosen.options);
    EXPECT_EQ(chosen.options->columns,
              (std::vector<Column>{Column::Plan, Column::Name, Column::UniqueId, Column::ResourceNames}));
    const auto joined = parseOptions({"--columns=finish,start", "--output", "o.xlsx", "a"});
    ASSERT_TRUE(joined.options);
    EXPECT_EQ(joined.options->columns, (std::vector<Column>{Column::Finish, Column::Start}));

    const QString keys = QStringLiteral(
        "name,duration,start,finish,plan,project,id,activity-id,unique-id,outline-level,outline-number,wbs,"
        "percent-complete,milestone,"
        "summary,baseline-start,baseline-finish,baseline-duration,actual-start,actual-finish,cost,work,notes,"
        "resources");
    const auto unknown = parseOptions({"--columns", "name,owner", "--output", "o.xlsx", "a"});
    EXPECT_FALSE(unknown.options);
    EXPECT_TRUE(unknown.error.contains(QStringLiteral("owner")));
    EXPECT_TRUE(unknown.error.contains(keys));
    for (const QStringList& bad : {QStringList{"--columns", "", "--output", "o.xlsx", "a"},
                                   QStringList{"--columns", "name,,start", "--output", "o.xlsx", "a"},
                                   QStringList{"--columns", "cost,cost", "--output", "o.xlsx", "a"},
                                   QStringList{"--output", "o.xlsx", "a", "--columns"}}) {
        const auto parsed = parseOptions(bad);
        EXPECT_FALSE(parsed.options) << bad.join(' ').toStdString();
        EXPECT_TRUE(parsed.error.startsWith(QStringLiteral("--columns"))) << parsed.error.toStdString();
    }
    // The usage text names the option and every key.
    const QString usage = usageText();
    EXPECT_TRUE(usage.contains(QStringLiteral("--columns LIST")));
    QString unwrapped = usage;
    unwrapped.remove(QStringLiteral("\n  "));
    EXPECT_TRUE(unwrapped.contains(keys));
}

TEST(BatchOptions, ShortOptionsAndTheirRunsMeanTheLongOnes) {
    using importer::Column;
    const auto p = parseOptions({"-qo", "o.XLSX", "-lsheet-per-file", "-c", "plan,name", "-e", ".mpp", "--", "-odd"});
    ASSERT_TRUE(p.options) << p.error.toStdString();
    EXPECT_TRUE(p.options->quiet);
    EXPECT_EQ(p.options->output, QStringLiteral("o.XLSX"));
    EXPECT_FALSE(p.options->oneSheet);
    EXPECT_EQ(p.options->columns, (std::vector<Column>{Column::Plan, Column::Name}));
    EXPECT_EQ(p.options->extension, QStringLiteral("mpp"));  // the dot is no part of the extension
    EXPECT_EQ(p.options->paths, QStringList{"-odd"});
    EXPECT_TRUE(parseOptions({"-h"}).help);
    EXPECT_TRUE(parseOptions({"-qV"}).version);
    EXPECT_EQ(parseOptions({"--list", "-"}).options->paths, QStringList{"-"});  // "-" alone is a path
}

// Every command line the program cannot use: one line of reason (and, for a usage error, where to
// read more) on standard error, status 2, no workbook.
TEST(QuorrixBatch, ACommandLineItCannotUseGivesOneReasonAndStatusTwo) {
    QTemporaryDir dir;
    const QString plan = writePlan(dir.filePath(QStringLiteral("plan.xml")), {QStringLiteral("a")});
    const QString out = dir.filePath(QStringLiteral("out.xlsx"));
    const QString empty = dir.filePath(QStringLiteral("empty"));
    ASSERT_TRUE(QDir().mkdir(empty));
    const QString usage = QStringLiteral("quorrix-batch: %1\nTry 'quorrix-batch --help'.\n");
    const QString unwritable = QStringLiteral("quorrix-batch: The workbook could not be written: %1.\n");
    const struct {
        QStringList arguments;
        QString err;
        QString out = QString();
    } cases[] = {
        {{}, usage.arg("No PATH given.")},
        {{"-x", plan}, usage.arg("Unknown option: -x")},
        {{"-o", out, "--bogus=1", plan}, usage.arg("Unknown option: --bogus")},
        {{"-o", "plans.xls", plan}, usage.arg("--output must name a workbook ending in .xlsx: plans.xls")},
        {{"-o", out, "--quiet=yes", plan}, usage.arg("--quiet takes no value.")},
        {{"--null", "-o", out, plan}, usage.arg("--null goes with --list.")},
        {{"--list", "-e", ".", plan}, usage.arg("--extension needs an extension, for example mpp.")},
        {{"--list", "-l", "wide", plan}, usage.arg("--layout takes one-sheet or sheet-per-file.")},
        {{"-o", plan + "/o.xlsx", plan}, unwritable.arg(QStringLiteral("\"%1\" is not a folder").arg(plan))},
        {{"-o", empty + "/no/o.xlsx", plan},
         unwritable.arg(QStringLiteral("the folder \"%1/no\" does not exist").arg(empty))},
        {{"-o", out, empty}, QString(), QStringLiteral("No files added.\n")},
    };
    for (const auto& c : cases) {
        const Result r = runBatch(c.arguments);
        EXPECT_EQ(r.exitCode, 2) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(r.err, c.err) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(r.out, c.out) << c.arguments.join(' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(out));
    // What the table refuses for its form is taken in its right one: an extension with its dot.
    const Result dotted = runBatch({"-o", out, "-e", ".xml", dir.path()});
    EXPECT_EQ(dotted.exitCode, 0) << dotted.err.toStdString();
    EXPECT_EQ(dotted.out, QStringLiteral("Done.\n"));
}

TEST(BatchOptions, SheetOptionsAndSelectionsAndUsageErrorsThatNameTheOption) {
    const auto all = parseOptions({"--freeze-header", "--filter-buttons", "--group-outline", "--indent-names",
                                   "--milestones", "--unfinished", "--max-outline-level", "9", "--active-between",
                                   "2024-06-03", "2024-06-16", "--output", "o.xlsx", "a"});
    ASSERT_TRUE(all.options) << all.error.toStdString();
    EXPECT_EQ(all.options->sheet, (importer::SheetOptions{true, true, true, true}));
    EXPECT_EQ(all.options->rows, (importer::RowSelection{true, true, 9, QDate(2024, 6, 3), QDate(2024, 6, 16)}));
    EXPECT_EQ(all.options->paths, QStringList{"a"});
    const auto plain = parseOptions({"--output", "o.xlsx", "a"});
    EXPECT_EQ(plain.options->sheet, importer::SheetOptions{});
    EXPECT_EQ(plain.options->rows, importer::RowSelection{});
    const auto joined = parseOptions({"--max-outline-level=1", "--active-between=2024-02-29", "2024-02-29", "--output",
                                      "o.xlsx", "a"});
    ASSERT_TRUE(joined.options) << joined.error.toStdString();
    EXPECT_EQ(joined.options->rows.maxOutlineLevel, 1);
    EXPECT_EQ(joined.options->rows.activeTo, QDate(2024, 2, 29));

    struct Bad {
        QStringList arguments;
        const char* option;
    };
    const Bad bad[] = {
        {{"--max-outline-level", "0"}, "--max-outline-level"},
        {{"--max-outline-level", "10"}, "--max-outline-level"},
        {{"--max-outline-level=2.5"}, "--max-outline-level"},
        {{"--max-outline-level"}, "--max-outline-level"},
        {{"--active-between", "2024-06-16", "2024-06-03"}, "--active-between"},
        {{"--active-between", "2024-6-3", "2024-06-16"}, "--active-between"},
        {{"--active-between", "2024-02-30", "2024-03-01"}, "--active-between"},
        {{"--active-between", "2024-06-03", "2024-06-16x"}, "--active-between"},
        {{"--active-between", "2024-06-03"}, "--active-between"},
    };
    for (const Bad& b : bad) {
        const auto parsed = parseOptions(QStringList{"--output", "o.xlsx", "a"} + b.arguments);
        EXPECT_FALSE(parsed.options) << b.arguments.join(' ').toStdString();
        EXPECT_TRUE(parsed.error.startsWith(QLatin1String(b.option))) << parsed.error.toStdString();
    }
}

TEST(BatchOptions, TerminalTextTurnsBothBreaksIntoLineFeeds) {
    EXPECT_EQ(withLineFeeds(QStringLiteral("a\r\nb\r\rc")), QStringLiteral("a\nb\n\nc"));
}

TEST(QuorrixBatch, ImportsRealPlansAndReportsFailuresWithTheWindowsTexts) {
    QUORRIX_NEED_TEST_DATA(plans());
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("all.xlsx"));
    const QString good = plans() + QStringLiteral("/task-text/task-text-project2016-mspdi.xml");
    const QString missing = dir.filePath(QStringLiteral("missing.mpp"));
    const QString junk = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("just some notes\n");
    }

    const Result clean = runBatch({"--output", out, good});
    EXPECT_EQ(clean.exitCode, 0) << clean.err.toStdString();
    EXPECT_EQ(clean.out, QStringLiteral("Done.\n"));
    EXPECT_TRUE(QFileInfo(out).size() > 0);

    for (const char* layout : {"one-sheet", "sheet-per-file"}) {
        const Result mixed = runBatch({"--layout", layout, "--output", out, good, missing, junk});
        EXPECT_EQ(mixed.exitCode, 1);
        EXPECT_EQ(mixed.out, QStringLiteral("Done.\nThese files could not be imported:\n") + missing + "\n" + junk + "\n");
        // One line a report, naming the file and the statement's line; none of the window's texts.
        const QString line = QString::number(layout == std::string("one-sheet") ? 142 : 236);
        EXPECT_EQ(mixed.err, QStringLiteral("quorrix-batch: %1: The file \"missing.mpp\" could not be found. (at line %3)\n"
                                            "quorrix-batch: %2: The file \"notes.txt\" is not a project plan. (at line %3)\n")
                                 .arg(missing, junk, line));
    }
    // The junk file is untouched.
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("just some notes\n"));
}

// Every sheet option and selections, over the real plans and the samples, one sheet per plan:
// each plan's sheet holds exactly the tasks its own fields select, in its order, each row at
// its task's outline level and its name indented by it, under the frozen header and the filter.
TEST(QuorrixBatch, SheetOptionsAndSelectionsFollowEachPlansOwnFields) {
    QUORRIX_NEED_TEST_DATA(plans());
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("sheets.xlsx"));
    const QStringList inputs{plans(), QStringLiteral(QUORRIX_SOURCE_DIR "/data/Samples")};
    const QStringList entries = runBatch(QStringList{"--list"} + inputs).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(entries.size(), 20);
    using importer::plans::PlanTask;
    const auto level = [](const PlanTask& t) { return int(t.details->outlineLevel.value_or(1)); };
    const QDate from(2000, 1, 1), to(2005, 12, 31);
    struct Case {
        QStringList options;
        std::function<bool(const PlanTask&)> selected;
        bool frozenAndFiltered, indented;
    };
    const Case cases[] = {
        {{"--freeze-header", "--filter-buttons", "--group-outline", "--indent-names", "--unfinished",
          "--max-outline-level", "2"},
         [&](const PlanTask& t) { return t.details->percentComplete.value_or(0) < 100 && level(t) <= 2; }, true, true},
        {{"--group-outline", "--milestones", "--active-between", "2000-01-01", "2005-12-31"},
         [&](const PlanTask& t) {
             QDate start = t.start.isValid() ? t.start.date() : t.finish.date();
             QDate finish = t.finish.isValid() ? t.finish.date() : start;
             return t.details->milestone.value_or(false) && start.isValid() && start <= to && finish >= from;
         },
         false, false},
    };
    int written = 0, grouped = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const Result result = runBatch(c.options + QStringList{"--layout", "sheet-per-file", "--output", out} + inputs);
        ASSERT_EQ(result.exitCode, 1) << result.err.toStdString();  // the other tools' files are no plans
        const testing::xlsx::Book book = testing::xlsx::read(out);
        ASSERT_EQ(book.sheets.size(), static_cast<std::size_t>(entries.size()));
        for (qsizetype i = 0; i < entries.size(); ++i) {
            SCOPED_TRACE(entries[i].toStdString());
            const testing::xlsx::Sheet& sheet = book.sheets[static_cast<std::size_t>(i)];
            importer::plans::ReadOptions details;
            details.details = true;
            std::optional<importer::plans::Plan> plan;
            try {
                plan = importer::plans::readPlanFile(entries[i], details);
            } catch (const Failure&) {
                EXPECT_TRUE(result.out.contains(entries[i]));
                EXPECT_EQ(sheet.cells.size(), 4u);  // the header alone
                continue;
            }
            int row = 1;
            for (const auto& position : plan->positions) {
                if (!position || !c.selected(*position)) continue;
                ++row;
                const QString a = QStringLiteral("A%1").arg(row);
                EXPECT_EQ(sheet.cells.count(a) ? sheet.cells.at(a).text : QString(), position->name) << a.toStdString();
                const int expected = std::min(level(*position), 8) - 1;
                EXPECT_EQ(sheet.rowLevels.count(row) ? sheet.rowLevels.at(row) : 0, expected) << a.toStdString();
                if (sheet.cells.count(a)) {
                    EXPECT_EQ(sheet.cells.at(a).indent, c.indented ? std::min(level(*position) - 1, 15) : 0);
                }
                grouped += expected > 0;
            }
            written += row - 1;
            EXPECT_EQ(sheet.cells.count(QStringLiteral("A%1").arg(row + 1)), 0u);
            EXPECT_EQ(sheet.frozenRows, c.frozenAndFiltered ? 1 : 0);
            EXPECT_EQ(sheet.autoFilter, c.frozenAndFiltered ? QStringLiteral("A1:D%1").arg(row) : QString());
            EXPECT_FALSE(sheet.summaryBelow);
        }
    }
    EXPECT_GT(written, 100);  // the walk saw real rows, some of them grouped
    EXPECT_GT(grouped, 10);
}

TEST(QuorrixBatch, UsageAndOutputErrorsExitWithTwo) {
    QTemporaryDir dir;
    EXPECT_EQ(runBatch({}).exitCode, 2);
    EXPECT_EQ(runBatch({"--output", dir.path(), "x.mpp"}).exitCode, 2);  // a folder as output
    const QString input = dir.filePath(QStringLiteral("in.xml"));
    QFile f(input);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<x/>");
    f.close();
    const Result self = runBatch({"--output", input, input});
    EXPECT_EQ(self.exitCode, 2);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("<x/>"));  // never written
    const Result unwritable = runBatch({"--output", dir.filePath(QStringLiteral("no/such/folder/o.xlsx")), input});
    EXPECT_EQ(unwritable.exitCode, 2);
}

TEST(QuorrixBatch, AWorkbookThatCannotBeWrittenIsNeverReportedAsDone) {
    QTemporaryDir dir;
    const QString plan = writePlan(dir.filePath(QStringLiteral("plan.xml")), {QStringLiteral("a"), QStringLiteral("b")});

    // Anything at the output that is not a file is refused before the run and left as it is.
    const QString fifo = dir.filePath(QStringLiteral("pipe.xlsx"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = dir.filePath(QStringLiteral("null.xlsx"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), device));
    const QString folder = dir.filePath(QStringLiteral("folder.xlsx"));
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const QString& output : {fifo, device, folder}) {
        const Result refused = runBatch({"--output", output, plan});
        EXPECT_EQ(refused.exitCode, 2) << output.toStdString();
        EXPECT_EQ(refused.out, QString()) << output.toStdString();
        EXPECT_TRUE(refused.err.startsWith(QStringLiteral("quorrix-batch: The workbook could not be written: ")))
            << refused.err.toStdString();
        EXPECT_EQ(refused.err.count(QLatin1Char('\n')), 1) << refused.err.toStdString();
    }
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A write that fails: no "Done.", one line that says why (none of the library's own), exit 2,
    // and nothing left in the folder.
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 2; exec \"$0\" \"$@\""),
                                        QStringLiteral(QUORRIX_BATCH), QStringLiteral("--output"),
                                        dir.filePath(QStringLiteral("out.xlsx")), plan});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardOutput()), QString());
    EXPECT_EQ(err, QStringLiteral("quorrix-batch: The workbook could not be written: file too large.\n"));
    EXPECT_EQ(hiddenAndAll(dir.path()), (QStringList{"folder.xlsx", "null.xlsx", "pipe.xlsx", "plan.xml"}));

    // A cell that cannot be written is a report, and a report makes the exit status 1.
    const QString tooLong = writePlan(dir.filePath(QStringLiteral("long.xml")), {QString(40000, QLatin1Char('x'))});
    const Result longName = runBatch({"--output", dir.filePath(QStringLiteral("long.xlsx")), tooLong});
    EXPECT_EQ(longName.exitCode, 1);
    EXPECT_EQ(longName.out, QStringLiteral("Done.\n"));
    EXPECT_TRUE(longName.err.endsWith(QStringLiteral(" (at line 160)\n"))) << longName.err.toStdString();
}

TEST(QuorrixBatch, AFullTemporaryFolderIsAFailedWriteInBothLayouts) {
    quorrix::testing::FullFolder full;
    if (!full.mounted()) GTEST_SKIP() << "mounting a small file system needs root";
    QTemporaryDir dir;
    // Each sheet more than the folder holds; all of them more than the workbook keeps in memory.
    QStringList names;
    for (int t = 1; t <= 1500; ++t) names << QStringLiteral("a task with a name of some length, number %1").arg(t);
    QStringList plans;
    for (int p = 1; p <= 4; ++p) plans << writePlan(dir.filePath(QStringLiteral("plan%1.xml").arg(p)), names);
    const QString output = dir.filePath(QStringLiteral("out.xlsx"));
    {
        QFile f(output);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old contents");
    }
    for (const char* layout : {"one-sheet", "sheet-per-file"}) {
        QProcess p;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), full.path());
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral(QUORRIX_BATCH), QStringList{"--layout", layout, "--output", output} + plans);
        ASSERT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 2) << layout;
        EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardOutput()), QString()) << layout;
        EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()),
                  QStringLiteral("quorrix-batch: The workbook could not be written: no space left on device.\n"))
            << layout;
    }
    QFile f(output);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old contents"));
}

TEST(QuorrixBatch, SheetPerFileSaysBeforeReadingAnyPlanWhenTheSystemCannotHoldItsSheetsOpen) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("plans"));
    QDir().mkpath(folder);
    for (int p = 1; p <= 1100; ++p)
        writePlan(folder + QStringLiteral("/p%1.xml").arg(p, 4, 10, QLatin1Char('0')), {QStringLiteral("t%1").arg(p)});
    QFile bad(folder + QStringLiteral("/zz-bad.xml"));  // a plan that fails when it is read
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a plan");
    bad.close();
    struct rlimit files {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &files), 0);

    const QString refused = QStringLiteral("quorrix-batch: The workbook could not be written: too many plans for one "
                                           "workbook: 1101 sheets, the system allows %1 open files. (at line 114)\n");
    struct Case {
        const char* layout;
        rlim_t hard, soft;
        QString failure;  // empty: imported, the bad plan listed
    };
    const std::vector<Case> cases = {
        {"sheet-per-file", 1024, 256, refused.arg(1024)},  // the soft limit is raised, and still too low
        {"sheet-per-file", 64, 64, refused.arg(64)},
        {"one-sheet", 64, 64, {}},                         // one sheet holds no file open per plan
        {"sheet-per-file", files.rlim_max, 64, {}},        // raised to what the system allows
    };
    for (const Case& c : cases) {
        const bool oneSheet = QByteArray(c.layout) == "one-sheet";
        if (c.failure.isEmpty() && !oneSheet && c.hard != RLIM_INFINITY && c.hard < 1200) continue;  // too few here
        const QString output = dir.filePath(QStringLiteral("out.xlsx"));
        QFile::remove(output);
        const QString hard = c.hard == RLIM_INFINITY ? QStringLiteral("unlimited") : QString::number(c.hard);
        QProcess p;
        p.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("ulimit -n %1 && ulimit -S -n %2 && exec \"$0\" \"$@\"").arg(hard).arg(c.soft),
                 QStringLiteral(QUORRIX_BATCH), QStringLiteral("--layout"), QString::fromLatin1(c.layout),
                 QStringLiteral("--output"), output, folder});
        ASSERT_TRUE(p.waitForFinished(120000));
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        const std::string where = std::string(c.layout) + " " + std::to_string(c.soft) + "/" + hard.toStdString();
        if (!c.failure.isEmpty()) {
            EXPECT_EQ(p.exitCode(), 2) << where;
            EXPECT_EQ(out, QString()) << where;
            EXPECT_EQ(err, c.failure) << where;
            EXPECT_FALSE(err.contains(QStringLiteral("zz-bad.xml"))) << where;  // no plan was read
            EXPECT_FALSE(QFile::exists(output)) << where;
        } else {
            EXPECT_EQ(p.exitCode(), 1) << where << ": " << err.left(300).toStdString();
            EXPECT_TRUE(out.startsWith(QStringLiteral("Done.\nThese files could not be imported:\n"))) << where;
            EXPECT_EQ(quorrix::testing::xlsx::read(output).sheets.size(), oneSheet ? 3u : 1101u) << where;
        }
    }
}

TEST(QuorrixBatch, APathThatCannotBeExaminedFailsAtImportInsteadOfVanishing) {
    if (geteuid() == 0) GTEST_SKIP() << "root may search every folder";
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("shut"));
    const QString hidden = writePlan(dir.filePath(QStringLiteral("shut/plan.xml")), {QStringLiteral("a")});
    const QString good = writePlan(dir.filePath(QStringLiteral("good.xml")), {QStringLiteral("b")});
    QFile::setPermissions(dir.filePath(QStringLiteral("shut")), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const Result list = runBatch({"--list", hidden, good});
    const Result run = runBatch({"--output", dir.filePath(QStringLiteral("o.xlsx")), hidden, good});
    QFile::setPermissions(dir.filePath(QStringLiteral("shut")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(list.out, hidden + "\n" + good + "\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("Done.\nThese files could not be imported:\n") + hidden + "\n");
}

TEST(QuorrixBatch, ChosenColumnsReachTheWorkbookAndAnUnknownKeyIsAUsageError) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("cols.xlsx"));
    const Result unknown = runBatch({"--columns", "name,colour", "--output", out, "x.xml"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("Unknown column: colour. Valid columns: name,duration,")));
    EXPECT_FALSE(QFileInfo::exists(out));

    if (!QDir(plans()).exists()) GTEST_SKIP() << "no test plans";
    const QString good = plans() + QStringLiteral("/task-text/task-text-project2016-mspdi.xml");
    for (const char* layout : {"one-sheet", "sheet-per-file"}) {
        const Result r = runBatch({"--layout", layout, "--columns", "plan,finish,name", "--output", out, good});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const testing::xlsx::Book book = testing::xlsx::read(out);
        ASSERT_FALSE(book.sheets.empty());
        const auto& cells = book.sheets[0].cells;
        EXPECT_EQ(cells.at("A1").text, QStringLiteral("Plan"));
        EXPECT_EQ(cells.at("B1").text, QStringLiteral("Finish Date"));
        EXPECT_EQ(cells.at("C1").text, QStringLiteral("Task Name"));
        EXPECT_EQ(cells.count("D1"), 0u);
        EXPECT_EQ(cells.at("A2").text, QStringLiteral("task-text-project2016-mspdi.xml"));
        EXPECT_FALSE(cells.at("C2").text.isEmpty());
        EXPECT_EQ(cells.count("D2"), 0u);
    }
}

TEST(QuorrixBatch, ListsFolderEntriesLikeADropOrAScan) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("R/A"));
    for (const char* name : {"R/b.mpp", "R/a.txt", "R/A/c.MPP", "R/~lock.mpp"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString r = dir.filePath(QStringLiteral("R"));
    const Result all = runBatch({"--list", r, "/typed/extra.mpp"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.out, r + "/a.txt\n" + r + "/b.mpp\n" + r + "/A/c.MPP\n/typed/extra.mpp\n");
    const Result mpp = runBatch({"--list", "--extension", "mpp", r});
    EXPECT_EQ(mpp.out, r + "/b.mpp\n" + r + "/A/c.MPP\n");
}

}  // namespace
}  // namespace quorrix::batch

namespace quorrix::batch {
namespace {

struct RawResult {
    int exitCode = -1;
    QByteArray out, err;
};

// A run whose NAME variable holds a hostile name: through pipes, or on a terminal made by
// script(1) (then `out` is what the terminal received).
RawResult runWithName(const QStringList& arguments, const QByteArray& name, bool onTerminal = false) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NAME"), QString::fromUtf8(name));
    p.setProcessEnvironment(env);
    QString command = QStringLiteral("exec '%1'").arg(QStringLiteral(QUORRIX_BATCH));
    for (const QString& a : arguments)
        command += a == QStringLiteral("$NAME") ? QStringLiteral(" \"$NAME\"") : " '" + a + "'";
    if (onTerminal)
        p.start(QStringLiteral("script"), {"-qec", command, "/dev/null"});
    else
        p.start(QStringLiteral("/bin/sh"), {"-c", command});
    p.waitForFinished(120000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

// A name that is no UTF-8 keeps its bytes from the walk to the workbook; a name that holds
// control characters goes into pipes as it is and reaches a terminal quoted, in the list and in
// the closing message alike; a report names it on one line.
TEST(QuorrixBatch, HostileAndUndecodableNamesKeepTheirBytesAndReachATerminalQuoted) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("R"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QByteArray odd = QFile::encodeName(folder) + "/ok\x9b.xml";
    const QString plain = writePlan(folder + QStringLiteral("/plain.xml"), {QStringLiteral("x")});
    ASSERT_EQ(::rename(QFile::encodeName(plain).constData(), odd.constData()), 0);
    // Qt cannot remove such a name with the rest of the folder.
    const std::unique_ptr<const char, int (*)(const char*)> removed(odd.constData(), ::unlink);
    const QByteArray hostile = QFile::encodeName(dir.path()) + "/gone\x1b[2J\nx.xml";
    const QString out = dir.filePath(QStringLiteral("o.xlsx"));

    EXPECT_EQ(runWithName({"--list", folder, "$NAME"}, hostile).out, odd + "\n" + hostile + "\n");
    EXPECT_EQ(runWithName({"--list", "--null", folder, "$NAME"}, hostile).out, odd + '\0' + hostile + '\0');
    const QByteArray quotedOdd = QFile::encodeName(folder) + "/ok'$'\\233''.xml'";
    const QByteArray quotedHostile = QFile::encodeName(dir.path()) + "/gone'$'\\033''[2J'$'\\n''x.xml'";

    const RawResult run = runWithName({"-o", out, folder, "$NAME"}, hostile);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Done.\nThese files could not be imported:\n" + hostile + "\n");
    EXPECT_EQ(run.err, "quorrix-batch: '" + quotedHostile +
                           ": The file \"gone?[2J?x.xml\" could not be found. (at line 142)\n");
    const testing::xlsx::Book book = testing::xlsx::read(out);
    ASSERT_FALSE(book.sheets.empty());
    EXPECT_EQ(book.sheets[0].cells.at("A2").text, QStringLiteral("x"));  // the plan was read

    if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty()) GTEST_SKIP() << "no script(1)";
    const RawResult listed = runWithName({"--list", folder, "$NAME"}, hostile, true);
    EXPECT_EQ(listed.out, "'" + quotedOdd + "\r\n'" + quotedHostile + "\r\n");
    const RawResult shown = runWithName({"-o", out, folder, "$NAME"}, hostile, true);
    EXPECT_TRUE(shown.out.contains("These files could not be imported:\r\n'" + quotedHostile + "\r\n"))
        << shown.out.toStdString();
    EXPECT_FALSE(shown.out.contains("\x1b[2J"));
}

}  // namespace
}  // namespace quorrix::batch
