#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "importer/plan_project.h"
#include "platform/failure.h"

using quorrix::Failure;
using namespace quorrix::importer;
using namespace quorrix::importer::plans;

namespace {

Plan threePositions() {
    Plan plan;
    plan.positions.resize(3);
    plan.positions[0] = PlanTask{QStringLiteral("First"), 480, QDateTime(QDate(2024, 3, 5), QTime(8, 0), Qt::UTC),
                                 QDateTime(QDate(2024, 3, 5), QTime(17, 0), Qt::UTC), {}};
    plan.positions[2] = PlanTask{QStringLiteral("Third"), 0, QDateTime(), QDateTime(), {}};
    return plan;
}

int failureNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& f) {
        EXPECT_FALSE(f.description().isEmpty());
        return f.number();
    }
    return 0;
}

}  // namespace

TEST(PlanProject, ServesTasksAsTheProjectApplicationReturnsThem) {
    QStringList opened;
    std::vector<ReadOptions> given;
    PlanProjectAutomation automation([&](const QString& path, const ReadOptions& options) {
        opened << path;
        given.push_back(options);
        return threePositions();
    });
    auto app = automation.create(QStringLiteral("Msproject.Application"));
    ASSERT_TRUE(app);
    EXPECT_EQ(app->projectsCount(), 0);
    EXPECT_EQ(app->activeProject(), nullptr);
    app->fileOpen(QStringLiteral("/plans/a.xml"), true);
    app->setVisible(true);
    EXPECT_EQ(opened, QStringList{QStringLiteral("/plans/a.xml")});
    EXPECT_EQ(app->projectsCount(), 1);
    // The four fields alone until the run says otherwise; then the options it gave, also for an
    // application made before.
    automation.readWith({true, kMilestoneDetail});
    app->fileOpen(QStringLiteral("/plans/a.xml"), true);
    ASSERT_EQ(given.size(), 2u);
    EXPECT_FALSE(given[0].details);
    EXPECT_TRUE(given[1].details);
    EXPECT_EQ(given[1].only, kMilestoneDetail);

    auto project = app->activeProject();
    ASSERT_TRUE(project);
    ASSERT_EQ(project->tasksCount(), 3);
    auto first = project->taskItem(1);
    ASSERT_TRUE(first);
    EXPECT_EQ(std::get<QString>(first->name()), QStringLiteral("First"));
    EXPECT_EQ(std::get<double>(first->duration()), 480.0);
    EXPECT_EQ(std::get<QDateTime>(first->start()), QDateTime(QDate(2024, 3, 5), QTime(8, 0), Qt::UTC));
    EXPECT_EQ(std::get<QDateTime>(first->finish()), QDateTime(QDate(2024, 3, 5), QTime(17, 0), Qt::UTC));
    EXPECT_EQ(project->taskItem(2), nullptr);  // a blank row
    auto third = project->taskItem(3);
    ASSERT_TRUE(third);
    EXPECT_EQ(std::get<QString>(third->start()), QStringLiteral("NA"));
    EXPECT_EQ(std::get<QString>(third->finish()), QStringLiteral("NA"));
    EXPECT_NE(failureNumber([&] { project->taskItem(0); }), 0);
    EXPECT_NE(failureNumber([&] { project->taskItem(4); }), 0);

    app->fileClose(0);
    EXPECT_EQ(app->projectsCount(), 0);
    EXPECT_EQ(app->activeProject(), nullptr);
    // Handles kept beyond the close fail instead of reading a closed plan.
    EXPECT_NE(failureNumber([&] { project->tasksCount(); }), 0);
    EXPECT_NE(failureNumber([&] { first->name(); }), 0);
    app->quit();
    EXPECT_NE(failureNumber([&] { app->projectsCount(); }), 0);
}

TEST(PlanProject, ClassNamesAndFailures) {
    PlanProjectAutomation automation([](const QString& path, const ReadOptions&) -> Plan {
        if (path == QLatin1String("bad")) throw Failure(321, QStringLiteral("The file \"bad\" is not a project plan."));
        return threePositions();
    });
    EXPECT_TRUE(automation.create(QStringLiteral("MSProject.Application")));
    EXPECT_TRUE(automation.create(QStringLiteral("msproject.application")));
    EXPECT_EQ(failureNumber([&] { automation.create(QStringLiteral("Excel.Application")); }), 429);

    auto app = automation.create(QStringLiteral("Msproject.Application"));
    app->fileOpen(QStringLiteral("good"), true);
    ASSERT_EQ(app->projectsCount(), 1);
    // A failing open passes the reader's failure on unchanged and leaves no plan open.
    try {
        app->fileOpen(QStringLiteral("bad"), true);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 321);
        EXPECT_EQ(f.description(), QStringLiteral("The file \"bad\" is not a project plan."));
    }
    EXPECT_EQ(app->projectsCount(), 0);
    EXPECT_EQ(app->activeProject(), nullptr);
    EXPECT_NE(failureNumber([&] { app->fileClose(0); }), 0);
}

TEST(PlanProject, ReadsRealFilesThroughThePlanReader) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.xml"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<Project xmlns=\"http://schemas.microsoft.com/project\"><Tasks>"
               "<Task><ID>0</ID><Name>Summary</Name><Duration>PT8H0M0S</Duration></Task>"
               "<Task><ID>2</ID><Name>Two</Name><Duration>PT7H30M0S</Duration>"
               "<Start>2024-03-05T08:00:00</Start><Finish>2024-03-05T16:30:00</Finish></Task></Tasks></Project>");
    file.close();
    PlanProjectAutomation automation;
    auto app = automation.create(QStringLiteral("Msproject.Application"));
    app->fileOpen(path, true);
    auto project = app->activeProject();
    ASSERT_EQ(project->tasksCount(), 2);
    EXPECT_EQ(project->taskItem(1), nullptr);
    EXPECT_EQ(std::get<double>(project->taskItem(2)->duration()), 450.0);
    EXPECT_NE(failureNumber([&] { app->fileOpen(dir.filePath(QStringLiteral("missing.xml")), true); }), 0);
    EXPECT_EQ(app->projectsCount(), 0);
}
