#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace quorrix::importer::plans {

// One task as the project application returns it.
struct PlanTask {
    QString name;
    double durationMinutes = 0;
    QDateTime start;   // wall-clock, Qt::UTC as its time zone (see importer/value.h)
    QDateTime finish;
};

// The task positions of a plan: positions[t - 1] is the task with ID t, or nothing for a blank
// row or a missing ID. The project summary task (ID 0) is not among them.
struct Plan {
    std::vector<std::optional<PlanTask>> positions;
};

}  // namespace quorrix::importer::plans
