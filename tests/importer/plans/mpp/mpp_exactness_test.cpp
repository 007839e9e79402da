// Every .mpp plan of the test data against the Project XML that the same Project version saved:
// the same positions, blank rows, names, durations in minutes, starts and finishes. Project 98
// plans have only a Project 98 exchange file (.mpx) as their twin, which holds dates to the day.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>

#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/plan_comparison.h"
#include "importer/plans/xml/mspdi_reader.h"
#include "platform/failure.h"
#include "support/test_data.h"

namespace quorrix::importer::plans {
namespace {

using namespace testing;

const QString kPlans = QStringLiteral(QUORRIX_TESTDATA "/plans");

// ---- the Project 98 exchange file ------------------------------------------------------------

// "1d", "2.5ew", "0h", "3mo?" in minutes, with the file's day of 480 minutes and week of 2,400.
double mpxMinutes(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^([0-9.]+)\\s*(e?)(mo|m|h|d|w|%)\\??$"));
    const auto m = pattern.match(text.trimmed());
    if (!m.hasMatch()) return std::nan("");
    const double value = m.captured(1).toDouble();
    const bool elapsed = !m.captured(2).isEmpty();
    const QString unit = m.captured(3);
    if (unit == QLatin1String("m")) return value;
    if (unit == QLatin1String("h")) return value * 60;
    if (unit == QLatin1String("d")) return value * (elapsed ? 1440 : 480);
    if (unit == QLatin1String("w")) return value * (elapsed ? 10080 : 2400);
    if (unit == QLatin1String("mo")) return value * (elapsed ? 43200 : 9600);
    return std::nan("");
}

// The plan an .mpx file holds, read independently of the reader under test.
std::optional<Plan> readMpx(const QString& path) {
    const auto records = mpxTaskRecords(path);
    if (!records) return std::nullopt;
    std::map<int, std::optional<PlanTask>> byId;
    for (auto [id, value] : *records) {
        PlanTask task;
        task.name = value[1];
        task.durationMinutes = mpxMinutes(value[40]);
        const auto day = [](const QString& text) {  // "Fri 17/10/14"
            const QDate date = QDate::fromString(text.section(QLatin1Char(' '), 1), QStringLiteral("dd/MM/yy"));
            return QDateTime(date.addYears(date.year() < 1950 ? 100 : 0), QTime(0, 0), Qt::UTC);
        };
        task.start = day(value[50]);
        task.finish = day(value[51]);
        byId[id] = task;
    }
    Plan plan;
    if (!byId.empty()) plan.positions.resize(static_cast<size_t>(byId.rbegin()->first));
    for (const auto& [id, task] : byId) plan.positions[static_cast<size_t>(id) - 1] = task;
    return plan;
}

// ---- the walk ---------------------------------------------------------------------------------

struct Twin {
    QString path;
    bool mpx = false;
};

// The XML saved by the same Project version ("projectYYYY" in the names), the folder's only XML
// for plans without a version in their name, or the Project 98 exchange file.
std::optional<Twin> twinOf(const QFileInfo& mpp) {
    const QDir folder = mpp.dir();
    static const QRegularExpression version(QStringLiteral("project(\\d+)"));
    const auto m = version.match(mpp.fileName());
    if (m.hasMatch()) {
        const QStringList xml = folder.entryList({QStringLiteral("*-project%1-mspdi.xml").arg(m.captured(1))}, QDir::Files);
        if (!xml.isEmpty()) return Twin{folder.filePath(xml.first()), false};
        const QStringList mpx = folder.entryList({QStringLiteral("*-project%1.mpx").arg(m.captured(1))}, QDir::Files);
        if (!mpx.isEmpty() && m.captured(1) == QLatin1String("98")) return Twin{folder.filePath(mpx.first()), true};
        return std::nullopt;
    }
    const QStringList xml = folder.entryList({QStringLiteral("*.xml")}, QDir::Files);
    if (xml.size() == 1) return Twin{folder.filePath(xml.first()), false};
    return std::nullopt;
}

TEST(MppExactness, EveryPlanEqualsTheXmlOfTheSameProjectVersion) {
    QUORRIX_NEED_TEST_DATA(kPlans);
    QStringList files;
    QDirIterator it(kPlans, {QStringLiteral("*.mpp")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    files.sort();

    int compared = 0, equal = 0, withoutTwin = 0;
    for (const QString& path : files) {
        const QFileInfo info(path);
        const QString shown = info.dir().dirName() + QLatin1Char('/') + info.fileName();
        const auto twin = twinOf(info);
        Plan actual;
        try {
            actual = readMppFile(path);
        } catch (const Failure& failure) {
            ADD_FAILURE() << shown.toStdString() << ": " << failure.what();
            continue;
        }
        if (!twin) {
            ++withoutTwin;
            EXPECT_FALSE(actual.positions.empty()) << shown.toStdString();
            continue;
        }
        Plan expected;
        if (twin->mpx) {
            const auto mpx = readMpx(twin->path);
            ASSERT_TRUE(mpx.has_value()) << twin->path.toStdString();
            expected = *mpx;
        } else {
            expected = readMspdiFile(twin->path);
        }
        ++compared;
        // The exchange file rounds durations to two decimals of their display unit.
        const QStringList diff = differences(actual, expected, twin->mpx, twin->mpx ? 5.0 : 0.01);
        if (diff.isEmpty()) {
            ++equal;
        } else {
            ADD_FAILURE() << shown.toStdString() << " differs from " << QFileInfo(twin->path).fileName().toStdString()
                          << ":\n  " << diff.mid(0, 5).join(QStringLiteral("\n  ")).toStdString();
        }
    }
    std::printf("[ exactness ] %d of %d plans equal their twin; %d without a twin read\n", equal, compared, withoutTwin);
    EXPECT_GT(compared, 0);
}

TEST(MppExactness, NullTaskPlansKeepTheirBlankRows) {
    const QString folder = kPlans + QStringLiteral("/null-tasks");
    QUORRIX_NEED_TEST_DATA(folder);
    const Plan expected = readMspdiFile(folder + QStringLiteral("/mspdinulltasks.xml"));
    const auto blanks = std::count(expected.positions.begin(), expected.positions.end(), std::nullopt);
    ASSERT_GT(blanks, 0);
    for (const char* name : {"mpp9nulltasks.mpp", "mpp12nulltasks.mpp", "mpp14nulltasks.mpp"}) {
        const Plan actual = readMppFile(folder + QLatin1Char('/') + QLatin1String(name));
        EXPECT_EQ(differences(actual, expected).join(QLatin1Char('\n')).toStdString(), "") << name;
    }
}

}  // namespace
}  // namespace quorrix::importer::plans
