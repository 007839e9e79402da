#pragma once

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace quorrix::importer::plans {

// The fields of a task beyond the four the workbook always carries. A reader fills them only when
// asked to (ReadOptions::details); a field the file does not hold stays empty (no value, an
// invalid date-time or an empty text), but for the ID and the outline fields, which the step every
// reader ends with derives (common/finish_plan.h).
struct TaskDetails {
    QString project;     // the name of the project the task belongs to
    std::optional<double> id;
    QString activityId;  // the planning tool's own code of the task (P6's Activity ID)
    std::optional<double> uniqueId;
    std::optional<double> outlineLevel;
    QString outlineNumber;
    QString wbs;
    std::optional<double> percentComplete;
    std::optional<bool> milestone;
    std::optional<bool> summary;
    QDateTime baselineStart;   // wall-clock, Qt::UTC like start and finish
    QDateTime baselineFinish;
    std::optional<double> baselineDurationMinutes;
    QDateTime actualStart;
    QDateTime actualFinish;
    std::optional<double> cost;         // in the plan's currency units
    std::optional<double> workMinutes;
    QString notes;                      // plain text
    QString resourceNames;              // as the project application lists them: "A,B[50%]"
};

// One task as the project application returns it.
struct PlanTask {
    QString name;
    double durationMinutes = 0;
    QDateTime start;   // wall-clock, Qt::UTC as its time zone (see importer/value.h)
    QDateTime finish;
    std::shared_ptr<TaskDetails> details;  // only when the reader was asked for them
};

// The task positions of a plan: positions[t - 1] is the task with ID t, or nothing for a blank
// row or a missing ID. The project summary task (ID 0) is not among them.
struct Plan {
    std::vector<std::optional<PlanTask>> positions;
};

// Details that may be asked for alone (ReadOptions::only).
enum DetailField : unsigned {
    kOutlineLevelDetail = 1u << 0,
    kMilestoneDetail = 1u << 1,
    kPercentCompleteDetail = 1u << 2,
};

// What a reader is asked for beyond the four fields.
struct ReadOptions {
    bool details = false;  // fill PlanTask::details
    // With details: the DetailField bits of the only details wanted, 0 when all are. A reader may
    // leave the others empty and spare itself the work of reading them, or fill them all the same.
    unsigned only = 0;
};

}  // namespace quorrix::importer::plans
