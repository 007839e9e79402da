// The step every plan reader ends with: IDs, outline numbers, WBS codes and summary flags from
// the outline levels, and the one rule for levels Project never writes.
#include "importer/plans/common/finish_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quorrix::importer::plans {
namespace {

constexpr double kBlank = -1000;  // a blank row in the lists below
const std::optional<double> kNoLevel;

// A plan of tasks with these outline levels (kBlank: a blank row), every task with details.
Plan planOf(const std::vector<std::optional<double>>& levels) {
    Plan plan;
    for (const auto& level : levels) {
        if (level == kBlank) {
            plan.positions.emplace_back();
            continue;
        }
        PlanTask task;
        task.details = std::make_shared<TaskDetails>();
        task.details->outlineLevel = level;
        plan.positions.push_back(task);
    }
    return plan;
}

TEST(FinishPlan, OutlineNumbersSummariesIdsAndWbsFromTheLevels) {
    struct Case {
        const char* what;
        std::vector<std::optional<double>> levels;
        QStringList numbers;          // of the tasks, blank rows left out
        std::vector<bool> summaries;
        std::vector<double> ids;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"an outline with a blank row, which takes an ID but no number",
         {1, 2, kBlank, 2, 3, 1, 1, 2},
         {"1", "1.1", "1.2", "1.2.1", "2", "3", "3.1"},
         {true, false, true, false, false, true, false},
         {1, 2, 4, 5, 6, 7, 8}},
        {"skipped levels are numbered 1", {1, 3, 2, 4}, {"1", "1.1.1", "1.2", "1.2.1.1"},
         {true, false, true, false}, {1, 2, 3, 4}},
        {"a first task below level 1", {2, 1}, {"1.1", "2"}, {false, false}, {1, 2}},
        {"no level, level 0, a negative level and not a number count as 1", {kNoLevel, 0, -4, nan},
         {"1", "2", "3", "4"}, {false, false, false, false}, {1, 2, 3, 4}},
        {"a fraction counts as its whole part", {1, 2.9, 1.5}, {"1", "1.1", "2"}, {true, false, false}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        Plan plan = planOf(c.levels);
        finishPlan(plan);
        std::size_t k = 0;
        for (const auto& task : plan.positions) {
            if (!task) continue;
            ASSERT_LT(k, c.ids.size()) << c.what;
            const TaskDetails& d = *task->details;
            EXPECT_EQ(d.outlineNumber, c.numbers[static_cast<qsizetype>(k)]) << c.what << " #" << k;
            EXPECT_EQ(d.wbs, d.outlineNumber) << c.what << " #" << k;
            EXPECT_EQ(d.summary, c.summaries[k]) << c.what << " #" << k;
            EXPECT_EQ(d.id, c.ids[k]) << c.what << " #" << k;
            ++k;
        }
        EXPECT_EQ(k, c.ids.size()) << c.what;
    }
}

TEST(FinishPlan, DeepLevelsAreHeldToTheDeepestAndStoredValuesStay) {
    Plan deep = planOf({1, 65535, std::numeric_limits<double>::infinity()});
    finishPlan(deep);
    EXPECT_EQ(deep.positions[1]->details->outlineNumber.count(QLatin1Char('.')), kMaxOutlineLevel - 1);
    EXPECT_EQ(deep.positions[2]->details->outlineNumber.count(QLatin1Char('.')), kMaxOutlineLevel - 1);

    Plan stored = planOf({1, 2, 2, 1});
    TaskDetails& first = *stored.positions[0]->details;
    first.id = 70;
    first.summary = false;
    first.outlineNumber = QStringLiteral("7.3");
    stored.positions[1]->details->wbs = QStringLiteral("A-1");
    stored.positions[3]->details->summary = true;
    stored.positions.emplace_back(PlanTask{});  // a task without details has no place in the outline
    finishPlan(stored);
    EXPECT_EQ(first.id, 70.0);
    EXPECT_EQ(first.summary, false);
    EXPECT_EQ(first.outlineNumber, QStringLiteral("7.3"));
    EXPECT_EQ(first.wbs, QStringLiteral("7.3"));  // the stored outline number
    EXPECT_EQ(stored.positions[1]->details->outlineNumber, QStringLiteral("1.1"));  // counted all the same
    EXPECT_EQ(stored.positions[1]->details->wbs, QStringLiteral("A-1"));
    EXPECT_EQ(stored.positions[2]->details->wbs, QStringLiteral("1.2"));
    EXPECT_EQ(stored.positions[3]->details->summary, true);
    EXPECT_FALSE(stored.positions[4]->details);
}

}  // namespace
}  // namespace quorrix::importer::plans
