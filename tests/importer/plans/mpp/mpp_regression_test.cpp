// Findings of the fuzzer and of reviews, each kept as a small file of our own (regressions/)
// or built here: the reader must give its one-line failure, never crash, hang or leak.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <map>

#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/mpp/mpp_test_files.h"
#include "platform/failure.h"

namespace quorrix::importer::plans {
namespace {

using namespace mpp_test;

QString failureText(const QByteArray& bytes) {
    try {
        const Plan plan = readMpp(bytes);
        return QStringLiteral("read %1 positions").arg(plan.positions.size());
    } catch (const Failure& failure) {
        return failure.description();
    }
}

TEST(MppRegressions, EveryKeptFileGivesItsFailure) {
    const std::map<QString, QString> expected = {
        {QStringLiteral("root-entry-with-sibling.mpp"),
         QStringLiteral("The file is damaged: its directory of parts is malformed (the root entry has siblings).")},
    };
    const QDir folder(QStringLiteral(QUORRIX_SOURCE_DIR "/tests/importer/plans/mpp/regressions"));
    const QStringList files = folder.entryList({QStringLiteral("*.mpp")}, QDir::Files);
    ASSERT_EQ(static_cast<size_t>(files.size()), expected.size()) << "every kept file needs its expectation";
    for (const QString& name : files) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const auto it = expected.find(name);
        ASSERT_NE(it, expected.end()) << name.toStdString();
        EXPECT_EQ(failureText(file.readAll()), it->second) << name.toStdString();
    }
}

TEST(MppRegressions, TheKeptFileIsStillWhatTheBuilderMakes) {
    QFile file(QStringLiteral(QUORRIX_SOURCE_DIR "/tests/importer/plans/mpp/regressions/root-entry-with-sibling.mpp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), chainedDirectory(2, true));
}

TEST(MppRegressions, ADeeplyNestedDirectoryIsRefusedBeforeItIsWalked) {
    // A chain of 20,000 siblings took libgsf's recursive reader 20,000 calls deep; 100,000 in a
    // 12 MB file overflowed the stack.
    for (const int streams : {1000, 20000}) {
        EXPECT_EQ(failureText(chainedDirectory(streams)),
                  QStringLiteral("The file is damaged: its directory of parts is nested too deeply."))
            << streams;
    }
    // Flat directories of ordinary size are read on (and here found not to be plans).
    EXPECT_EQ(failureText(chainedDirectory(50)), QStringLiteral("The file is a compound document but not a plan."));
}

Record sharing(qint32 uniqueId, qint32 nameOffset) {
    Record r = task(uniqueId, uniqueId, QString(), uniqueId);
    r.name.reset();
    r.nameOffset = nameOffset;
    return r;
}

TEST(MppRegressions, TasksSharingOneNameShareItsMemory) {
    PlanLayout s;
    s.records = {summary(), task(1, 1, QStringLiteral("Shared name"), 1)};
    for (int k = 2; k <= 200; ++k) s.records.push_back(sharing(k, 0));
    const Plan plan = readMpp(buildPlan(s));
    ASSERT_EQ(plan.positions.size(), 200u);
    EXPECT_EQ(plan.positions[199]->name, QStringLiteral("Shared name"));
    EXPECT_FALSE(plan.positions[199]->name.isDetached());  // one string for all of them
}

TEST(MppRegressions, NamesOverlappingOneAnotherAreRefused) {
    // One long value whose bytes also read as valid lengths: every offset inside it would give
    // another name of 64 KB, so a few KB of index could make gigabytes of text.
    PlanLayout s;
    s.records = {summary(), task(1, 1, QString(40000, QChar(1)), 1), sharing(2, 4), sharing(3, 8)};
    EXPECT_EQ(failureText(buildPlan(s)), QStringLiteral("The file is damaged: its task texts overlap one another."));
}

TEST(MppRegressions, ADirectoryChainThatLoopsEnds) {
    QByteArray looping = chainedDirectory(8);
    put32(looping, 512 + 4 * 1, 1);  // the directory's only sector points at itself
    const QString text = failureText(looping);
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));
}

}  // namespace
}  // namespace quorrix::importer::plans
