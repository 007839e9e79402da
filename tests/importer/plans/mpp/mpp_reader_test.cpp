// The .mpp reader on small files built for the purpose: task enumeration (blank rows, deleted
// records, stale IDs, summary task, manually scheduled tasks), protection, unsupported and
// damaged files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/mpp/mpp_test_files.h"
#include "importer/plans/plan_reader.h"
#include "platform/failure.h"

namespace quorrix::importer::plans {
namespace {

using namespace mpp_test;

// The failure readMpp raises for `bytes`; empty when it reads them.
Failure failureOf(const QByteArray& bytes) {
    try {
        readMpp(bytes);
    } catch (const Failure& failure) {
        return failure;
    }
    return Failure(0, QString());
}

std::vector<QString> namesOf(const Plan& plan) {
    std::vector<QString> names;
    for (const auto& task : plan.positions) names.push_back(task ? task->name : QStringLiteral("<blank>"));
    return names;
}

using Names = std::vector<QString>;

PlanLayout layout(Kind kind, std::vector<Record> records) {
    PlanLayout s;
    s.kind = kind;
    s.application = kind == Kind::Mpp9 ? "Microsoft Project 9.0" : kind == Kind::Mpp12 ? "Microsoft Project 12.0" : "Microsoft.Project 15.0";
    s.records = std::move(records);
    return s;
}

// ---- the values of a task -------------------------------------------------------------------

TEST(MppReader, ReadsNameDurationStartAndFinishInEveryFormat) {
    for (Kind kind : {Kind::Mpp9, Kind::Mpp12, Kind::Mpp14}) {
        Record first = task(1, 1, QStringLiteral("Survey"), 1.0, 4);
        first.durationTenths = 9600;  // 960 minutes
        first.finish = at(2024, 3, 5, 17);
        Record second = task(2, 2, QStringLiteral("Größe – 日本"), 2.0, 6);
        second.durationTenths = 75;  // 7.5 minutes
        second.start = at(2024, 3, 6, 9, 30);
        second.finish = at(2024, 3, 6, 9, 37);
        const Plan plan = readMpp(buildPlan(layout(kind, {summary(), first, second})));

        ASSERT_EQ(plan.positions.size(), 2u) << int(kind);
        ASSERT_TRUE(plan.positions[0] && plan.positions[1]);
        EXPECT_EQ(plan.positions[0]->name, QStringLiteral("Survey"));
        EXPECT_DOUBLE_EQ(plan.positions[0]->durationMinutes, 960.0);
        EXPECT_EQ(plan.positions[0]->start, QDateTime(QDate(2024, 3, 4), QTime(8, 0), Qt::UTC));
        EXPECT_EQ(plan.positions[0]->finish, QDateTime(QDate(2024, 3, 5), QTime(17, 0), Qt::UTC));
        EXPECT_EQ(plan.positions[0]->start.timeSpec(), Qt::UTC);
        EXPECT_EQ(plan.positions[1]->name, QStringLiteral("Größe – 日本"));
        EXPECT_DOUBLE_EQ(plan.positions[1]->durationMinutes, 7.5);
        EXPECT_EQ(plan.positions[1]->start, QDateTime(QDate(2024, 3, 6), QTime(9, 30), Qt::UTC));
        EXPECT_EQ(plan.positions[1]->finish, QDateTime(QDate(2024, 3, 6), QTime(9, 37), Qt::UTC));
    }
}

TEST(MppReader, LeavesTheSummaryTaskOut) {
    Record named = summary();
    named.name = QStringLiteral("Project summary");
    const Plan plan = readMpp(buildPlan(layout(Kind::Mpp12, {named, task(1, 1, QStringLiteral("Only task"), 1)})));
    EXPECT_EQ(namesOf(plan), (Names{QStringLiteral("Only task")}));
}

TEST(MppReader, ATaskWithoutNameButWithDatesStaysATask) {
    Record unnamed = task(2, 2, QString(), 2);
    unnamed.name.reset();
    unnamed.durationTenths = 1200;
    const Plan plan = readMpp(buildPlan(layout(Kind::Mpp12, {summary(), task(1, 1, QStringLiteral("A"), 1), unnamed})));
    ASSERT_EQ(plan.positions.size(), 2u);
    ASSERT_TRUE(plan.positions[1].has_value());
    EXPECT_EQ(plan.positions[1]->name, QString());
    EXPECT_DOUBLE_EQ(plan.positions[1]->durationMinutes, 120.0);
}

// ---- order, blank rows, deleted records -------------------------------------------------------

TEST(MppReader, OrdersByTheSortPositionWhenStoredIdsAreStale) {
    // Stored IDs left behind by deleted rows: 2, 4, 6, 4, 9 for positions 1 to 5.
    const Plan plan = readMpp(buildPlan(layout(Kind::Mpp12, {summary(), task(11, 4, QStringLiteral("D"), 4.0),
                                                           task(12, 2, QStringLiteral("A"), 1.0),
                                                           task(13, 9, QStringLiteral("E"), 5.0),
                                                           task(14, 6, QStringLiteral("C"), 3.5),
                                                           task(15, 4, QStringLiteral("B"), 3.0)})));
    EXPECT_EQ(namesOf(plan), (Names{"A", "B", "C", "D", "E"}));
}

TEST(MppReader, Mpp9OrdersByStoredId) {
    const Plan plan = readMpp(buildPlan(layout(Kind::Mpp9, {summary(), task(1, 3, QStringLiteral("C"), 1),
                                                          task(2, 1, QStringLiteral("A"), 2),
                                                          task(3, 2, QStringLiteral("B"), 3)})));
    EXPECT_EQ(namesOf(plan), (Names{"A", "B", "C"}));
}

TEST(MppReader, KeepsBlankRowsAsPositionsWithoutTask) {
    for (Kind kind : {Kind::Mpp9, Kind::Mpp12, Kind::Mpp14}) {
        Record nullRow;
        nullRow.uniqueId = 5;
        nullRow.storedId = 2;
        nullRow.nullBlock = true;
        nullRow.sortPosition = 2;
        Record emptyRow = task(6, 4, QString(), 4);  // a full record with an empty name, no dates
        emptyRow.start.reset();
        emptyRow.finish.reset();
        const Plan plan = readMpp(buildPlan(layout(kind, {summary(), task(1, 1, QStringLiteral("A"), 1), nullRow,
                                                        task(2, 3, QStringLiteral("B"), 3), emptyRow,
                                                        task(3, 5, QStringLiteral("C"), 5)})));
        EXPECT_EQ(namesOf(plan), (Names{"A", "<blank>", "B", "<blank>", "C"})) << int(kind);
    }
}

TEST(MppReader, ABlankRowBeyondTheLastTaskGoesToTheEnd) {
    Record nullRow;
    nullRow.uniqueId = 9;
    nullRow.storedId = 40;
    nullRow.nullBlock = true;
    const Plan plan = readMpp(buildPlan(layout(Kind::Mpp12, {summary(), task(1, 1, QStringLiteral("A"), 1), nullRow})));
    EXPECT_EQ(namesOf(plan), (Names{"A", "<blank>"}));
}

TEST(MppReader, SkipsDeletedRecordsAndKeepsTheLatestRecordOfATask) {
    Record deleted = task(7, 2, QStringLiteral("Deleted"), 2);
    deleted.flags = 0x02;
    Record older = task(8, 3, QStringLiteral("Old name"), 3);
    older.flags = 0x04;  // an earlier copy of the record, marked as a placeholder
    Record newer = task(8, 3, QStringLiteral("New name"), 3);
    const Plan plan = readMpp(buildPlan(layout(Kind::Mpp12, {summary(), task(1, 1, QStringLiteral("A"), 1), deleted, older, newer})));
    EXPECT_EQ(namesOf(plan), (Names{"A", "New name"}));
}

TEST(MppReader, ADeletedRecordCancelsALaterOneInMpp9And12ButNotInMpp14) {
    Record deleted = task(7, 2, QStringLiteral("B"), 2);
    deleted.flags = 0x02;
    const Record later = task(7, 2, QStringLiteral("B"), 2);
    for (Kind kind : {Kind::Mpp9, Kind::Mpp12}) {
        const Plan plan = readMpp(buildPlan(layout(kind, {summary(), task(1, 1, QStringLiteral("A"), 1), deleted, later})));
        EXPECT_EQ(namesOf(plan), (Names{"A"})) << int(kind);
    }
    const Plan plan = readMpp(buildPlan(layout(Kind::Mpp14, {summary(), task(1, 1, QStringLiteral("A"), 1), deleted, later})));
    EXPECT_EQ(namesOf(plan), (Names{"A", "B"}));
}

TEST(MppReader, IgnoresPartialRecords) {
    Record partial = task(4, 2, QStringLiteral("Partial"), 2);
    partial.recordSize = 100;  // under three quarters of the 264-byte layout
    const Plan plan = readMpp(buildPlan(layout(Kind::Mpp12, {summary(), task(1, 1, QStringLiteral("A"), 1), partial})));
    EXPECT_EQ(namesOf(plan), (Names{"A"}));
}

TEST(MppReader, PadsAShortSummaryRecord) {
    Record shortSummary = summary();
    shortSummary.recordSize = 206;
    const Plan plan = readMpp(buildPlan(layout(Kind::Mpp12, {shortSummary, task(1, 1, QStringLiteral("A"), 1)})));
    EXPECT_EQ(namesOf(plan), (Names{"A"}));
}

// ---- manually scheduled tasks (MPP14) ----------------------------------------------------------

TEST(MppReader, ManuallyScheduledTasksShowTheirOwnDatesAndDuration) {
    for (const QByteArray& application : {QByteArray("Microsoft.Project 14.0"), QByteArray("Microsoft.Project 16.0")}) {
        Record manual = task(2, 2, QStringLiteral("Manual"), 2);
        manual.manual = true;
        manual.manualStart = at(2024, 4, 1, 10);
        manual.manualFinish = at(2024, 4, 3, 12);
        manual.manualDurationTenths = 14400;
        PlanLayout s = layout(Kind::Mpp14, {summary(), task(1, 1, QStringLiteral("Auto"), 1), manual});
        s.application = application;
        const Plan plan = readMpp(buildPlan(s));
        ASSERT_EQ(plan.positions.size(), 2u);
        EXPECT_EQ(plan.positions[0]->start, at(2024, 3, 4, 8)) << application.constData();
        EXPECT_DOUBLE_EQ(plan.positions[0]->durationMinutes, 480.0);
        EXPECT_EQ(plan.positions[1]->start, at(2024, 4, 1, 10)) << application.constData();
        EXPECT_EQ(plan.positions[1]->finish, at(2024, 4, 3, 12));
        EXPECT_DOUBLE_EQ(plan.positions[1]->durationMinutes, 1440.0);
    }
}

TEST(MppReader, AManualTaskWithoutManualDurationHasNone) {
    Record manual = task(1, 1, QStringLiteral("Manual"), 1);
    manual.manual = true;
    manual.manualDurationTenths = -1;
    const Plan plan = readMpp(buildPlan(layout(Kind::Mpp14, {summary(), manual})));
    ASSERT_EQ(plan.positions.size(), 1u);
    EXPECT_DOUBLE_EQ(plan.positions[0]->durationMinutes, 0.0);
}

TEST(MppReader, UsesBuiltInPositionsWhenTheFieldMapIsMissing) {
    PlanLayout s = layout(Kind::Mpp12, {summary(), task(1, 1, QStringLiteral("A"), 1), task(2, 2, QStringLiteral("B"), 2)});
    s.withFieldMap = false;
    const Plan plan = readMpp(buildPlan(s));
    EXPECT_EQ(namesOf(plan), (Names{"A", "B"}));
    EXPECT_EQ(plan.positions[1]->finish, at(2024, 3, 4, 17));
}

// ---- protection ------------------------------------------------------------------------------

QByteArray passwordData(quint8 byte60) {
    QByteArray data(64, '\x11');
    data[60] = static_cast<char>(byte60);
    return data;
}

TEST(MppReader, RefusesPlansProtectedAgainstOpening) {
    PlanLayout mpp12 = layout(Kind::Mpp12, {summary(), task(1, 1, QStringLiteral("A"), 1)});
    mpp12.rootProps = {{0x35400000, QByteArray("\x01", 1)}};
    PlanLayout mpp9 = layout(Kind::Mpp9, {summary(), task(1, 1, QStringLiteral("A"), 1)});
    mpp9.rootProps = {{0x35400000, QByteArray("\x03", 1)}, {0x35400004, passwordData(0x5A)}};
    PlanLayout mpp14 = layout(Kind::Mpp14, {summary(), task(1, 1, QStringLiteral("A"), 1)});
    mpp14.rootProps = {{0x35400000, QByteArray("\x01", 1)}, {0x35400004, passwordData(0x5A)}};
    for (const PlanLayout& s : {mpp12, mpp9, mpp14}) {
        const Failure failure = failureOf(buildPlan(s));
        EXPECT_TRUE(failure.description().contains(QStringLiteral("password-protected"))) << failure.what();
        EXPECT_FALSE(failure.description().contains(QLatin1Char('\n')));
    }
}

TEST(MppReader, ReadsPlansWhosePasswordDoesNotGuardOpening) {
    // MPP9 with an empty stored password; MPP14 without password data.
    PlanLayout mpp9 = layout(Kind::Mpp9, {summary(), task(1, 1, QStringLiteral("A"), 1)});
    mpp9.rootProps = {{0x35400000, QByteArray("\x01", 1)}, {0x35400004, passwordData(0)}};
    PlanLayout mpp14 = layout(Kind::Mpp14, {summary(), task(1, 1, QStringLiteral("A"), 1)});
    mpp14.rootProps = {{0x35400000, QByteArray("\x01", 1)}};
    for (const PlanLayout& s : {mpp9, mpp14}) EXPECT_EQ(namesOf(readMpp(buildPlan(s))), (Names{"A"}));
}

TEST(MppReader, UndoesTheObfuscationOfAWriteReservedMpp9Plan) {
    PlanLayout s = layout(Kind::Mpp9, {summary(), task(1, 1, QStringLiteral("Hidden"), 1), task(2, 2, QStringLiteral("Plain"), 2)});
    s.rootProps = {{0x35400000, QByteArray("\x02", 1)}, {0x35400007, QByteArray("\x40", 1)}};
    s.xorMask = 0xFF - 0x40;
    const Plan plan = readMpp(buildPlan(s));
    EXPECT_EQ(namesOf(plan), (Names{"Hidden", "Plain"}));
    EXPECT_EQ(plan.positions[0]->start, at(2024, 3, 4, 8));
}

// ---- files that are not readable plans --------------------------------------------------------

TEST(MppReader, RecognisesTheCompoundDocumentSignature) {
    EXPECT_TRUE(isCompoundFile(QByteArray::fromHex("D0CF11E0A1B11AE1") + "rest"));
    EXPECT_FALSE(isCompoundFile(QByteArray::fromHex("D0CF11E0A1B11A")));
    EXPECT_FALSE(isCompoundFile(QByteArray("<?xml version=\"1.0\"?>")));
    EXPECT_FALSE(isCompoundFile(QByteArray()));
}

TEST(MppReader, RefusesFilesThatAreNotCompoundDocuments) {
    for (const QByteArray& bytes : {QByteArray(), QByteArray("PK\x03\x04 zip"), QByteArray(600, 'x')}) {
        const Failure failure = failureOf(bytes);
        EXPECT_EQ(failure.number(), failure_number::kBadFileFormat);
        EXPECT_TRUE(failure.description().contains(QStringLiteral("not a plan"))) << failure.what();
    }
}

TEST(MppReader, RefusesOtherCompoundDocuments) {
    const QByteArray word = compoundFile({{{QStringLiteral("\001CompObj")}, compObj("Microsoft Word-Dokument", QByteArray("MSWordDoc"))},
                                          {{QStringLiteral("WordDocument")}, QByteArray(512, 'w')}});
    const QByteArray excel = compoundFile({{{QStringLiteral("Workbook")}, QByteArray(1024, 'b')}});
    for (const QByteArray& bytes : {word, excel}) {
        const Failure failure = failureOf(bytes);
        EXPECT_EQ(failure.number(), failure_number::kBadFileFormat);
        EXPECT_TRUE(failure.description().startsWith(QStringLiteral("The file is a compound document but not a plan")))
            << failure.what();
    }
}

TEST(MppReader, RefusesFormatsItCannotRead) {
    const QByteArray project4 = compoundFile({{{QStringLiteral("\001CompObj")}, compObj("Microsoft Project 4.0", std::nullopt)}});
    EXPECT_EQ(failureOf(project4).description(),
              QStringLiteral("This plan was saved in a format that cannot be read (Project 4)."));
    const QByteArray future = compoundFile({{{QStringLiteral("\001CompObj")}, compObj("Microsoft Project 30.0", QByteArray("MSProject.MPP30"))}});
    EXPECT_EQ(failureOf(future).description(),
              QStringLiteral("This plan was saved in a format that cannot be read (MSProject.MPP30)."));
}

TEST(MppReader, ReportsAMissingTaskStreamAsDamage) {
    for (const QString& stream : {QStringLiteral("FixedMeta"), QStringLiteral("FixedData"), QStringLiteral("VarMeta"),
                                  QStringLiteral("Var2Data"), QStringLiteral("Fixed2Meta"), QStringLiteral("Fixed2Data")}) {
        PlanLayout s = layout(Kind::Mpp12, {summary(), task(1, 1, QStringLiteral("A"), 1)});
        s.omit = {stream};
        const Failure failure = failureOf(buildPlan(s));
        EXPECT_EQ(failure.description(), QStringLiteral("The file is damaged: the part \"%1\" is missing.").arg(stream));
    }
    // MPP9 does not need the Fixed2 streams.
    PlanLayout mpp9 = layout(Kind::Mpp9, {summary(), task(1, 1, QStringLiteral("A"), 1)});
    mpp9.omit = {QStringLiteral("Fixed2Meta"), QStringLiteral("Fixed2Data")};
    EXPECT_EQ(namesOf(readMpp(buildPlan(mpp9))), (Names{"A"}));
}

TEST(MppReader, ReportsTruncatedFilesAsDamage) {
    const QByteArray whole = buildPlan(layout(Kind::Mpp12, {summary(), task(1, 1, QStringLiteral("A"), 1)}));
    for (const qsizetype size : {qsizetype(8), qsizetype(300), whole.size() / 2, whole.size() - 512}) {
        const Failure failure = failureOf(whole.left(size));
        EXPECT_EQ(failure.number(), failure_number::kBadFileFormat) << size;
        EXPECT_TRUE(failure.description().startsWith(QStringLiteral("The file is damaged: "))) << size << failure.what();
    }
}

TEST(MppReader, ReadsFilesFromDiskAndReportsPathProblems) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("plan.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(buildPlan(layout(Kind::Mpp14, {summary(), task(1, 1, QStringLiteral("From disk"), 1)})));
    file.close();
    EXPECT_EQ(namesOf(readPlanFile(path)), (Names{"From disk"}));
    EXPECT_THROW(readPlanFile(dir.filePath(QStringLiteral("missing.mpp"))), Failure);
    EXPECT_THROW(readPlanFile(dir.path()), Failure);
}

}  // namespace
}  // namespace quorrix::importer::plans
