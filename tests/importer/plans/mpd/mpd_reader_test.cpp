// The Project database reader: the further fields of Project 98's schema, and damaged, foreign and
// lying databases (the walk over the test plans is exactness_test.cpp).
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <thread>

#include "importer/plans/mpd/mpd_reader.h"
#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/plan_comparison.h"
#include "importer/plans/plan_reader.h"
#include "importer/plans/xml/mspdi_reader.h"
#include "platform/failure.h"

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
    EXPECT_EQ(failureOf(withId(1048576)), QStringLiteral("The database is damaged: the task ID 1048576 is out of range."));
    EXPECT_EQ(failureOf(withId(2147483647)),
              QStringLiteral("The database is damaged: the task ID 2147483647 is out of range."));
    EXPECT_EQ(failureOf(withId(-5)), QStringLiteral("The database is damaged: a task has the negative ID -5."));
    EXPECT_EQ(failureOf(withId(28)), QStringLiteral("The database is damaged: the task ID 28 appears twice."));
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

}  // namespace
}  // namespace quorrix::importer::plans
