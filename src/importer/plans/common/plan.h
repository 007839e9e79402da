#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "importer/plans/common/custom_fields.h"

namespace quorrix::importer::plans {

// The schedule fields of a task; a field the file does not hold stays empty.
struct ScheduleFields {  // dates: none = the format lacks the field; an invalid date-time = "NA"
    QString predecessors;  // as the project application shows them: "3,5SS-1 day"
    QString successors;
    std::optional<double> totalSlackMinutes;  // working minutes
    std::optional<double> freeSlackMinutes;
    std::optional<bool> critical;
    std::optional<int> constraintType;  // 0 As Soon As Possible … 7 Finish No Later Than
    std::optional<QDateTime> constraintDate;
    std::optional<QDateTime> deadline;
    std::optional<double> priority;     // 0 … 1000
    std::optional<QDateTime> earlyStart;
    std::optional<QDateTime> earlyFinish;
    std::optional<QDateTime> lateStart;
    std::optional<QDateTime> lateFinish;
    std::optional<int> taskType;        // 0 fixed units, 1 fixed duration, 2 fixed work
    std::optional<bool> manual;
    std::optional<bool> active;
    std::optional<bool> estimated;
    QString durationShown;              // "5 days", "4 days?"
    std::optional<double> durationDays;
    QString baselineDurationShown;
    std::optional<double> baselineDurationDays;
};

// One custom field's value: text and outline codes as text, flags as 0 or 1, numbers and costs
// (in currency units) as numbers, durations in minutes, dates as date-times.
struct CustomValue {
    std::uint8_t slot = 0;  // see custom_fields.h
    double number = 0;
    QDateTime date;
    QString text;
};

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
    ScheduleFields schedule;            // filled when ReadOptions::schedule asks for it
    std::vector<CustomValue> custom;    // the asked custom fields that hold a value, by slot

    const CustomValue* customValue(int slot) const {
        for (const CustomValue& v : custom)
            if (v.slot == slot) return &v;
        return nullptr;
    }
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
    // The custom fields the plan's format can hold (a field it cannot hold is an empty cell, one it
    // holds without a value shows the field's default), and the names the plan gives them.
    CustomSlots customHeld;
    std::vector<std::pair<int, QString>> customAliases;  // slot, alias
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
    bool schedule = false;  // and their schedule fields
    CustomSlots custom{};   // and these custom fields
};

}  // namespace quorrix::importer::plans
