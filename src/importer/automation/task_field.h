#pragma once

namespace quorrix::importer {

// Task fields beyond name, duration, start and finish that the project application can return
// for a task (its GetField), in the order the extra workbook columns list them.
enum class TaskField {
    Project,
    Id,
    ActivityId,
    UniqueId,
    OutlineLevel,
    OutlineNumber,
    Wbs,
    PercentComplete,
    Milestone,
    Summary,
    BaselineStart,
    BaselineFinish,
    BaselineDuration,
    ActualStart,
    ActualFinish,
    Cost,
    Work,
    Notes,
    ResourceNames,
    // The schedule: links, slack, constraints and the duration as the plan shows it.
    Predecessors,
    Successors,
    TotalSlack,
    FreeSlack,
    Critical,
    ConstraintType,
    ConstraintDate,
    Deadline,
    Priority,
    EarlyStart,
    EarlyFinish,
    LateStart,
    LateFinish,
    TaskType,
    TaskMode,
    Active,
    Estimated,
    DurationShown,
    DurationDays,
    BaselineDurationShown,
    BaselineDurationDays,
};

inline constexpr int kTaskFieldCount = static_cast<int>(TaskField::BaselineDurationDays) + 1;

}  // namespace quorrix::importer
