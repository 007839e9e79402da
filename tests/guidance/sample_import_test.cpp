// The sample plans read through the program's own plan reader, as the import run reads them.
#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

#include "importer/plans/plan_reader.h"

namespace quorrix {
namespace {

using importer::plans::Plan;
using importer::plans::PlanTask;
using importer::plans::readPlanFile;

QString sample(const QString& name) {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Samples/") + name;
}

const PlanTask* find(const Plan& plan, const QString& name) {
    for (const auto& t : plan.positions)
        if (t && t->name == name) return &*t;
    return nullptr;
}

TEST(SampleImport, EverySampleReadsWithBlankRowsAsNothing) {
    const QDir samples(QCoreApplication::applicationDirPath() + QStringLiteral("/Samples"));
    const QStringList names = samples.entryList(QDir::Files);
    ASSERT_GE(names.size(), 5);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const Plan plan = readPlanFile(samples.filePath(name));
        ASSERT_GE(plan.positions.size(), 20u);
        ASSERT_LE(plan.positions.size(), 300u);
        int blanks = 0;
        for (const auto& t : plan.positions) {
            if (!t) {
                ++blanks;
                continue;
            }
            EXPECT_FALSE(t->name.isEmpty());
            EXPECT_TRUE(t->start.isValid());
            EXPECT_LE(t->start, t->finish);
        }
        EXPECT_GE(blanks, 1);
    }
}

TEST(SampleImport, NamesAndDurationsComeThroughAsWritten) {
    const Plan move = readPlanFile(sample(QStringLiteral("Office Move.xml")));
    ASSERT_EQ(move.positions.size(), 36u);
    EXPECT_FALSE(move.positions[15].has_value());  // the blank row 16
    const PlanTask* crates = find(move, QStringLiteral("Hand out crates and labels"));
    ASSERT_NE(crates, nullptr);
    EXPECT_EQ(crates->durationMinutes, 45);
    const PlanTask* quotes = find(move, QStringLiteral("Choose a removal company (three quotes)"));
    ASSERT_NE(quotes, nullptr);
    EXPECT_EQ(quotes->durationMinutes, 2400);  // one week
    const PlanTask* done = find(move, QStringLiteral("Move completed"));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->durationMinutes, 0);
    EXPECT_EQ(done->start, done->finish);

    const Plan conference = readPlanFile(sample(QStringLiteral("Partner Conference.xml")));
    EXPECT_NE(find(conference, QStringLiteral("Day 1: keynote, Q&A session and workshops")), nullptr);

    const Plan rollout = readPlanFile(sample(QStringLiteral("Global Rollout (multilingual).xml")));
    for (const char* name : {"Μετάφραση του εγχειριδίου χρήσης", "Перевод интерфейса на русский язык",
                             "取扱説明書の翻訳", "ترجمة الواجهة إلى العربية", "Révision du contrat-cadre"})
        EXPECT_NE(find(rollout, QString::fromUtf8(name)), nullptr) << name;
}

}  // namespace
}  // namespace quorrix
