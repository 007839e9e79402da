// The Project database reader: the further fields of Project 98's schema, and damaged, foreign and
// lying databases (the walk over the test plans is exactness_test.cpp).
#include <gtest/gtest.h>
#include <mdbtools.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "importer/plans/mpd/mpd_protocol.h"
#include "importer/plans/mpd/mpd_reader.h"
#include "importer/plans/mpd/mpd_service.h"
#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/plan_comparison.h"
#include "importer/plans/plan_reader.h"
#include "importer/plans/xml/mspdi_reader.h"
#include "platform/failure.h"
#include "support/test_data.h"

namespace quorrix::importer::plans {
namespace {

using namespace testing;

const QString kPlans = QStringLiteral(QUORRIX_TESTDATA "/plans");

QStringList databases() {
    QStringList files;
    QDirIterator it(kPlans, {QStringLiteral("*.mpd")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    files.sort();
    return files;
}

TEST(MpdReader, FurtherFieldsOnlyWhenAskedAndOutlineOfProject98) {
    const QString path = kPlans + QStringLiteral("/null-tasks/mpp9nulltasks.mpd");
    if (!QFile::exists(path)) GTEST_SKIP() << "no test plans";
    const Plan plain = readPlanFile(path);
    for (const auto& task : plain.positions) EXPECT_TRUE(!task || !task->details);
    const Plan full = readPlanFile(path, {true});
    ASSERT_EQ(full.positions.size(), 8u);
    ASSERT_TRUE(full.positions[2] && full.positions[2]->details);
    EXPECT_EQ(full.positions[2]->details->outlineNumber, QStringLiteral("1.1"));
    EXPECT_EQ(full.positions[0]->details->summary, true);
    EXPECT_EQ(full.positions[7]->details->wbs, QStringLiteral("2.1"));

    const QString mpd8 = kPlans + QStringLiteral("/task-dates/Xtask-dates-project98-mpd8.mpd");
    const Plan old = readPlanFile(mpd8, {true});
    ASSERT_FALSE(old.positions.empty());
    ASSERT_TRUE(old.positions[1] && old.positions[1]->details);
    EXPECT_EQ(old.positions[1]->details->uniqueId, 2.0);
    EXPECT_EQ(old.positions[1]->details->outlineNumber, QStringLiteral("2"));
    EXPECT_EQ(old.positions[1]->details->wbs, QStringLiteral("2"));  // Project 98 stores no WBS code
    EXPECT_EQ(old.positions[1]->details->milestone, false);
}

// ---- what the test databases do not hold --------------------------------------------------------

// An answer of the reader's process put together here: rows of (column, value) pairs by table.
struct AnswerRow {
    mpd::Kind kind;
    std::vector<std::pair<std::size_t, std::string>> values;
};

std::string answerOf(const std::vector<AnswerRow>& rows) {
    mpd::AnswerWriter answer;
    answer.header();
    answer.schema(mpd::kSchema9);
    int kind = -1;
    for (const AnswerRow& row : rows) {
        if (static_cast<int>(row.kind) != kind) answer.table(row.kind);
        kind = static_cast<int>(row.kind);
        std::vector<std::string_view> fields(mpd::kColumns[static_cast<std::size_t>(row.kind)]);
        for (const auto& [column, value] : row.values) fields[column] = value;
        answer.row(fields.data(), fields.size());
    }
    answer.end();
    return answer.pending();
}

std::string fieldId(CustomKind kind, int number) { return std::to_string(customFieldId(customSlot(kind, number))); }

// Links in the table's order without those to other projects, Critical by its rule where the row
// holds none, the custom values of tasks only (costs in hundredths, outline codes by their path).
TEST(MpdReader, LinksCriticalAndCustomValuesOfRowsTheTestDatabasesLack) {
    using namespace mpd;
    const auto task = [](const char* uid, const char* critical, const char* constraint) {
        return AnswerRow{Kind::Tasks, {{kProject, "1"}, {kUniqueId, uid}, {kId, uid}, {kName, "T"}, {kDuration, "4800"},
                                       {kStart, "2024-03-04 08:00:00"}, {kFinish, "2024-03-04 17:00:00"},
                                       {kTotalSlack, "0"}, {kCritical, critical}, {kConstraintType, constraint},
                                       {kDurationFormat, "7"}}};
    };
    const auto link = [](const char* from, const char* to, const char* type, const char* lag, const char* cross) {
        return AnswerRow{Kind::Links, {{kLinkProject, "1"}, {kLinkPredecessor, from}, {kLinkSuccessor, to},
                                       {kLinkType, type}, {kLinkLag, lag}, {kLinkLagFormat, "7"},
                                       {kLinkCrossProject, cross}}};
    };
    const auto value = [](Kind kind, const char* category, const char* owner, std::string field, const char* v) {
        return AnswerRow{kind, {{kFieldProject, "1"}, {kFieldCategory, category}, {kFieldOwner, owner},
                                {kFieldId, std::move(field)}, {kFieldValue, v}}};
    };
    const std::vector<AnswerRow> rows{
        {Kind::Projects, {{kProjectId, "1"}, {kProjectName, "P"}, {kMinutesPerDay, "480"}}},
        task("1", "", "0"), task("2", "0", "4"), task("3", "1", "0"),
        link("1", "2", "3", "4800", "0"), link("1", "3", "1", "0", "1"), link("2", "3", "1", "-2400", "0"),
        value(Kind::TextFields, "0", "1", fieldId(CustomKind::Text, 1), "North"),
        value(Kind::TextFields, "1", "1", fieldId(CustomKind::Text, 2), "a resource's"),
        value(Kind::NumberFields, "0", "2", fieldId(CustomKind::Cost, 1), "12345"),
        value(Kind::CodeFields, "0", "3", fieldId(CustomKind::OutlineCode, 1), "5"),
        {Kind::OutlineCodes, {{kCodeProject, "1"}, {kCodeUid, "4"}, {kCodeParent, "0"}, {kCodeName, "A"}}},
        {Kind::OutlineCodes, {{kCodeProject, "1"}, {kCodeUid, "5"}, {kCodeParent, "4"}, {kCodeName, "B"}}},
    };
    ReadOptions every{true};
    every.schedule = true;
    every.custom.set();
    const Plan plan = planFromMpdAnswer(answerOf(rows), every);
    ASSERT_EQ(plan.positions.size(), 3u);
    const auto& one = plan.positions[0]->details;
    const auto& two = plan.positions[1]->details;
    const auto& three = plan.positions[2]->details;
    EXPECT_EQ(one->schedule.successors, QStringLiteral("2SS+1 day"));
    EXPECT_EQ(two->schedule.predecessors, QStringLiteral("1SS+1 day"));
    EXPECT_EQ(three->schedule.predecessors, QStringLiteral("2FS-0.5 days"));
    EXPECT_EQ(one->schedule.critical, true);  // by the rule: no slack, not complete
    EXPECT_EQ(two->schedule.critical, false);
    EXPECT_EQ(two->schedule.constraintType, 4);
    ASSERT_TRUE(one->customValue(customSlot(CustomKind::Text, 1)) && two->customValue(customSlot(CustomKind::Cost, 1)));
    EXPECT_EQ(one->customValue(customSlot(CustomKind::Text, 1))->text, QStringLiteral("North"));
    EXPECT_FALSE(one->customValue(customSlot(CustomKind::Text, 2)));
    EXPECT_EQ(two->customValue(customSlot(CustomKind::Cost, 1))->number, 123.45);
    ASSERT_TRUE(three->customValue(customSlot(CustomKind::OutlineCode, 1)));
    EXPECT_EQ(three->customValue(customSlot(CustomKind::OutlineCode, 1))->text, QStringLiteral("A.B"));

    // A code out of its range is damage.
    std::vector<AnswerRow> damaged = rows;
    damaged[1] = task("1", "", "9");
    try {
        planFromMpdAnswer(answerOf(damaged), every);
        ADD_FAILURE() << "read a constraint type 9";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(), QStringLiteral("The database is damaged: the value \"9\" in the column "
                                                        "TASK_CONSTRAINT_TYPE of the table MSP_TASKS cannot be read."));
    }

    // Dates: the calendar's own days read as Qt counts them, any other is damage.
    for (const char* text : {"2024-02-29 08:00:00", "1900-03-01 00:00:00", "2100-02-28 23:59:59", "1600-12-31 12:00:00",
                             "2023-02-29 08:00:00", "1900-02-29 08:00:00", "2024-04-31 08:00:00", "2024-13-01 08:00:00",
                             "0000-01-01 08:00:00", "2024-03-04 24:00:00", "2024-03-04 08:60:00"}) {
        std::vector<AnswerRow> dated = rows;
        dated[1].values[5].second = text;  // the start
        const QDateTime expected =
            QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        try {
            const Plan read = planFromMpdAnswer(answerOf(dated), every);
            EXPECT_TRUE(expected.isValid()) << text;
            EXPECT_EQ(read.positions[0]->start, QDateTime(expected.date(), expected.time(), Qt::UTC)) << text;
        } catch (const Failure& failure) {
            EXPECT_FALSE(expected.isValid()) << text;
            EXPECT_TRUE(failure.description().contains(QLatin1String(text))) << failure.description().toStdString();
        }
    }
}

// Numbers, whole ones written as integers and others as printf writes them: the same double either
// way, the sign of zero kept; anything else is damage.
TEST(MpdReader, NumbersReadExactlyHoweverWritten) {
    using namespace mpd;
    const struct {
        const char* text;
        std::optional<double> number;
    } cases[] = {{"4800", 4800.0}, {"-36", -36.0}, {"-0", -0.0}, {"0", 0.0}, {"999999999999999", 999999999999999.0},
                 {"1234567890123456", 1234567890123456.0}, {"0.1", 0.1}, {"-2.5e-07", -2.5e-7}, {"1e+20", 1e20},
                 {"-", std::nullopt}, {"1-2", std::nullopt}, {"12a", std::nullopt}};
    ReadOptions numbers{true};
    numbers.custom.set(static_cast<std::size_t>(customSlot(CustomKind::Number, 1)));
    for (const auto& c : cases) {
        const std::vector<AnswerRow> rows{
            {Kind::Tasks, {{kProject, "1"}, {kUniqueId, "1"}, {kId, "1"}, {kName, "T"}}},
            {Kind::NumberFields, {{kFieldProject, "1"}, {kFieldCategory, "0"}, {kFieldOwner, "1"},
                                  {kFieldId, fieldId(CustomKind::Number, 1)}, {kFieldValue, c.text}}}};
        try {
            const Plan plan = planFromMpdAnswer(answerOf(rows), numbers);
            ASSERT_TRUE(c.number) << c.text;
            const auto* v = plan.positions.at(0)->details->customValue(customSlot(CustomKind::Number, 1));
            ASSERT_TRUE(v) << c.text;
            EXPECT_EQ(v->number, *c.number) << c.text;
            EXPECT_EQ(std::signbit(v->number), std::signbit(*c.number)) << c.text;
        } catch (const Failure& failure) {
            EXPECT_FALSE(c.number) << c.text;
            EXPECT_TRUE(failure.description().contains(QLatin1String(c.text))) << failure.description().toStdString();
        }
    }
}

// ---- damaged, foreign and lying databases ------------------------------------------------------

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// Reads `bytes` as the database file "plan.mpd" with the .mpd reader itself.
Plan readBytes(const QByteArray& bytes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.mpd"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) ADD_FAILURE() << "cannot write " << path.toStdString();
    file.close();
    return readMpd(PlanFile{path, bytes.size(), bytes.left(kPlanHeadSize)});
}

// The description of the failure reading `bytes` throws; empty when it reads.
QString failureOf(const QByteArray& bytes) {
    try {
        readBytes(bytes);
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), 321);
        EXPECT_FALSE(failure.description().contains(QLatin1Char('\n')));
        EXPECT_FALSE(failure.description().isEmpty());
        return failure.description();
    }
    return {};
}

QByteArray replaced(QByteArray bytes, const QString& from, const QString& to) {
    const auto utf16 = [](const QString& text) {
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    };
    bytes.replace(utf16(from), utf16(to));
    return bytes;
}

const QString kProject2003 = QStringLiteral("/task-text/task-text-project2003-mpd9.mpd");

TEST(MpdReader, DamagedAndForeignFilesFailWithOneLine) {
    const QByteArray good = bytesOf(kPlans + kProject2003);
    if (good.isEmpty()) GTEST_SKIP() << "no test plans";
    ASSERT_TRUE(isJetDatabase(good));
    EXPECT_TRUE(failureOf(good).isEmpty());

    // Not a database at all.
    EXPECT_EQ(failureOf("MPX,Microsoft Project for Windows,4.0,ANSI\r\n"), QStringLiteral("The file is not a project database."));
    EXPECT_EQ(failureOf(good.left(19)), QStringLiteral("The file is not a project database."));
    // The header only: no page beyond it.
    EXPECT_TRUE(failureOf(good.left(0x20)).contains(QLatin1String("damaged")));
    EXPECT_TRUE(failureOf(good.left(4096)).contains(QLatin1String("too short")));
    // Cut inside a page, and cut at a page boundary.
    EXPECT_TRUE(failureOf(good.left(good.size() / 2 + 100)).contains(QLatin1String("truncated")));
    EXPECT_EQ(failureOf(good.left(12 * 4096)), QStringLiteral("The database is damaged: its list of tables cannot be read."));
    // A header that claims another Jet version: an unknown one, and Jet 3 over Jet 4 pages.
    QByteArray lying = good;
    lying[0x14] = 2;
    EXPECT_TRUE(failureOf(lying).contains(QLatin1String("cannot be read (Jet version 2)")));
    lying[0x14] = 0;
    EXPECT_FALSE(failureOf(lying).isEmpty());
    // Pages of nothing but zeros behind a good header.
    QByteArray zeros(good.size(), '\0');
    zeros.replace(0, 4096, good.left(4096));
    EXPECT_FALSE(failureOf(zeros).isEmpty());
    // A database without Project's tables.
    const QByteArray foreign = replaced(good, QStringLiteral("MSP_TASKS"), QStringLiteral("XYZ_TASKS"));
    EXPECT_EQ(failureOf(foreign), QStringLiteral("The file is a database but not a project plan."));
}

TEST(MpdReader, EveryPageOverwrittenReadsOrFailsWithOneLine) {
    const QByteArray good = bytesOf(kPlans + kProject2003);
    if (good.isEmpty()) GTEST_SKIP() << "no test plans";
    const qsizetype pages = good.size() / 4096;
    int failed = 0;
    for (qsizetype page = 1; page < pages; ++page) {
        for (const char fill : {'\xFF', '\x7F'}) {
            QByteArray bad = good;
            for (qsizetype i = page * 4096 + 8; i < page * 4096 + 4096; i += 7) bad[i] = fill;
            if (!failureOf(bad).isEmpty()) ++failed;
        }
    }
    EXPECT_GT(failed, 0);
}

TEST(MpdReader, IdsAndProjectsAreCheckedAndTheFirstProjectIsRead) {
    const QByteArray good = bytesOf(kPlans + kProject2003);
    if (good.isEmpty()) GTEST_SKIP() << "no test plans";
    const Plan plan = readBytes(good);
    // Without the list of projects the task rows' project is read.
    const QByteArray noList = replaced(good, QStringLiteral("MSP_PROJECTS"), QStringLiteral("XYZ_PROJECTS"));
    EXPECT_TRUE(differences(readBytes(noList), plan).isEmpty());
    // A column renamed away: its values read as missing, and the tasks lose their project.
    const QByteArray noProject = replaced(good, QStringLiteral("PROJ_ID"), QStringLiteral("XXXX_ID"));
    EXPECT_EQ(failureOf(noProject), QStringLiteral("The database holds no project."));
    // Without its ID column no row is a task.
    const QByteArray noIds = replaced(good, QStringLiteral("TASK_ID"), QStringLiteral("TASK_XX"));
    EXPECT_TRUE(readBytes(noIds).positions.empty());

    // The row of task 29 holds its unique ID and ID side by side: give it other IDs.
    const QByteArray row = QByteArray::fromHex("1d0000001d000000");
    const qsizetype at = good.indexOf(row);
    ASSERT_GT(at, 0);
    const auto withId = [&](qint32 id) {
        QByteArray bytes = good;
        for (int k = 0; k < 4; ++k) bytes[at + 4 + k] = static_cast<char>((static_cast<quint32>(id) >> (8 * k)) & 0xFF);
        return bytes;
    };
    const QString damaged = QStringLiteral("The database is damaged: ");
    EXPECT_EQ(failureOf(withId(1048576)), damaged + QStringLiteral("the task ID 1048576 is out of range."));
    EXPECT_EQ(failureOf(withId(2147483647)), damaged + QStringLiteral("the task ID 2147483647 is out of range."));
    EXPECT_EQ(failureOf(withId(-5)), damaged + QStringLiteral("a task has the negative ID -5."));
    EXPECT_EQ(failureOf(withId(28)), damaged + QStringLiteral("the task ID 28 appears twice."));
    const Plan moved = readBytes(withId(40));
    ASSERT_EQ(moved.positions.size(), 40u);
    EXPECT_FALSE(moved.positions[28].has_value());  // position 29 is now a gap
    ASSERT_TRUE(moved.positions[39].has_value());
    EXPECT_EQ(moved.positions[39]->name, QStringLiteral("Text29"));
}

TEST(MpdReader, ReadByContentWhateverTheNameAndNeverWritten) {
    const QString source = kPlans + QStringLiteral("/task-dates/Xtask-dates-project98-mpd8.mpd");
    if (!QFile::exists(source)) GTEST_SKIP() << "no test plans";
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("plan.mpp"));
    ASSERT_TRUE(QFile::copy(source, copy));
    QFile::setPermissions(copy, QFileDevice::ReadOwner);
    const QByteArray before = bytesOf(copy);
    const QDateTime modified = QFileInfo(copy).lastModified();
    const Plan plan = readPlanFile(copy);
    EXPECT_EQ(plan.positions.size(), 10u);
    EXPECT_EQ(bytesOf(copy), before);
    EXPECT_EQ(QFileInfo(copy).lastModified(), modified);

    // A file with a foreign header under the .mpd name is no plan.
    const QString text = dir.filePath(QStringLiteral("notes.mpd"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Standard Jet DB, but not really");
    file.close();
    try {
        readPlanFile(text);
        ADD_FAILURE() << "read a text file as a plan";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(), QStringLiteral("The file \"notes.mpd\" is not a project plan."));
    }
}

TEST(MpdReader, TwoThreadsReadDatabasesAtOnce) {
    const QStringList files = databases();
    if (files.size() < 2) GTEST_SKIP() << "no test plans";
    std::vector<Plan> alone;
    for (const QString& path : files) alone.push_back(readPlanFile(path));
    std::vector<Plan> first(files.size()), second(files.size());
    std::thread a([&] {
        for (qsizetype i = 0; i < files.size(); ++i) first[static_cast<size_t>(i)] = readPlanFile(files[i]);
    });
    std::thread b([&] {
        for (qsizetype i = files.size() - 1; i >= 0; --i) second[static_cast<size_t>(i)] = readPlanFile(files[i]);
    });
    a.join();
    b.join();
    for (size_t i = 0; i < alone.size(); ++i) {
        EXPECT_TRUE(differences(first[i], alone[i]).isEmpty());
        EXPECT_TRUE(differences(second[i], alone[i]).isEmpty());
    }
}

// ---- the reader's process ------------------------------------------------------------------------

// The first page of the table definition of `table` in the database at `path` (0 when not found).
guint32 definitionPage(const QString& path, const char* table) {
    MdbHandle* mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!mdb) return 0;
    guint32 page = 0;
    if (const GPtrArray* catalog = mdb_read_catalog(mdb, MDB_TABLE))
        for (guint i = 0; i < catalog->len; ++i) {
            const auto* entry = static_cast<const MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            if (g_ascii_strcasecmp(entry->object_name, table) == 0) page = static_cast<guint32>(entry->table_pg);
        }
    mdb_close(mdb);
    return page;
}

// The byte of a table definition that says in which row of its page the table's usage map lies.
QByteArray usageMapRowChanged(QByteArray bytes, guint32 page) {
    if (page != 0) bytes[page * 4096 + 55] = '\xFF';
    return bytes;
}

// Captures what this process writes to standard error while it lives.
class StandardError {
public:
    StandardError() {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(::fileno(file_), STDERR_FILENO);
    }
    ~StandardError() { restore(); }
    QByteArray restore() {
        if (saved_ < 0) return {};
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
        std::rewind(file_);
        QByteArray text;
        char buffer[256];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;)
            text.append(buffer, static_cast<qsizetype>(n));
        std::fclose(file_);
        return text;
    }

private:
    std::FILE* file_ = std::tmpfile();
    int saved_ = -1;
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // no limit on the address space
#else
constexpr bool kSanitized = false;
#endif

TEST(MpdReaderProcess, ACrashALimitOrABadAnswerIsThatDatabasesOneLineAndTheNextOneReads) {
    QUORRIX_NEED_TEST_DATA(kPlans + kProject2003);
    const QString project98 = kPlans + QStringLiteral("/task-dates/Xtask-dates-project98-mpd8.mpd");
    const QByteArray good = bytesOf(kPlans + kProject2003), old = bytesOf(project98);
    const guint32 assignments = definitionPage(kPlans + kProject2003, "MSP_ASSIGNMENTS");
    const guint32 oldAssignments = definitionPage(project98, "Assignment_Information");
    ASSERT_GT(assignments, 2u);
    ASSERT_GT(oldAssignments, 2u);

    // The stand-in reader reads a script after a database header.
    const auto script = [](const char* what) {
        QByteArray bytes(3 * 4096, '\0');
        bytes.replace(0, 20, QByteArray("\0\1\0\0Standard Jet DB\0", 20));
        bytes[0x14] = 1;
        bytes.replace(4096, static_cast<qsizetype>(std::strlen(what)), what);
        return bytes;
    };
    MpdReaderSetup stand = installedMpdReader();
    stand.program = QCoreApplication::applicationDirPath() + QStringLiteral("/mpd_reader_double");
    stand.cpuSeconds = 1;
    stand.wallSeconds = 1;
    stand.memoryMegabytes = 64;
    MpdReaderSetup spinning = stand;  // the processor-time limit comes first
    spinning.wallSeconds = 300;  // even on a busy machine

    // Read by the installed reader through the dispatcher, which names the file; by the stand-in
    // through the .mpd reader itself.
    const QString named = QStringLiteral("The database \"plan.mpd\" is damaged: ");
    const QString damaged = QStringLiteral("The database is damaged: ");
    struct Case {
        const char* what;
        QByteArray bytes;
        const MpdReaderSetup& setup;
        bool details;
        QString failure;  // its start when it ends with "...", else all of it; empty: it reads
    };
    const MpdReaderSetup real = installedMpdReader();
    const std::vector<Case> cases = {
        // libmdb reads out of bounds: the catalogue's usage map, then the assignments' (read for the details only).
        {"catalogue 2003", usageMapRowChanged(good, 2), real, false, named + "..."},
        {"catalogue 98", usageMapRowChanged(old, 2), real, false, named + "..."},
        {"assignments 2003", usageMapRowChanged(good, assignments), real, true, named + "..."},
        {"assignments 98", usageMapRowChanged(old, oldAssignments), real, true, named + "..."},
        {"assignments, four fields", usageMapRowChanged(good, assignments), real, false, {}},
        {"crash", script("crash"), stand, false, damaged + "reading it crashed the reader (Aborted)."},
        {"hang", script("hang"), stand, false, damaged + "reading it did not end within 1 seconds."},
        {"spin", script("spin"), spinning, false, damaged + "reading it took more than 1 seconds of processor time."},
        {"memory", script(kSanitized ? "ok" : "memory"), stand, false,
         kSanitized ? QString() : damaged + "reading it needs more memory than the reader may use."},
        {"status", script("status"), stand, false, damaged + "its reader ended with status 3."},
        {"garbage", script("garbage"), stand, false, damaged + "its reader's answer is not valid (an unknown record)."},
        {"cut", script("cut"), stand, false, damaged + "its reader's answer is not valid (a row ends early)."},
        {"unread", script("unread"), stand, false,
         damaged + "its reader's answer is not valid (a value came for a column not read)."},
        {"unasked", script("unasked"), stand, false,
         damaged + "its reader's answer is not valid (a table came that was not asked for)."},
        {"flood", script("flood"), stand, false, damaged + "its reader gave more data than the database can hold."},
        {"noise", script("noise"), stand, false, {}},
        // A process that had read other databases before: the database is read once more by a fresh one.
        {"after others", script("crash-after-others"), stand, false, {}},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.mpd"));
    const auto read = [&](const QByteArray& bytes, const MpdReaderSetup& setup, bool details) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
        file.close();
        if (&setup == &real) return readPlanFile(path, {details});
        return readMpd(PlanFile{path, bytes.size(), bytes.left(kPlanHeadSize)}, {details}, setup);
    };
    const Plan expected = readPlanFile(kPlans + kProject2003);
    StandardError quiet;
    for (const Case& c : cases) {
        // Each case in a fresh process (a failure in one that had read others is tried twice).
        if (std::strcmp(c.what, "after others") != 0) retireMpdReader();
        QString failure;
        try {
            read(c.bytes, c.setup, c.details);
        } catch (const Failure& f) {
            failure = f.description();
        }
        if (c.failure.endsWith(QLatin1String("...")))
            EXPECT_TRUE(failure.startsWith(c.failure.chopped(3)) && !failure.contains(QLatin1Char('\n')))
                << c.what << ": " << failure.toStdString();
        else
            EXPECT_EQ(failure, c.failure) << c.what;
        // The same reader goes on with the next database.
        if (&c.setup != &real)
            EXPECT_EQ(read(script("ok"), stand, false).positions.size(), 1u) << c.what;
        else
            EXPECT_TRUE(differences(read(good, c.setup, false), expected).isEmpty()) << c.what;
    }
    // libmdb's complaints about the damaged pages stayed in the reader.
    EXPECT_EQ(quiet.restore(), QByteArray());
}

}  // namespace
}  // namespace quorrix::importer::plans
