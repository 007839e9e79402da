#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "importer/automation.h"
#include "importer/plans/plan.h"

namespace quorrix::importer::plans {

// The project application on platforms without one: each application opens one plan at a time
// from a plan file. Tasks are served as the project application returns them: name as text,
// duration in minutes, start and finish as wall-clock date-times ("NA" when the plan has none).
class PlanProjectAutomation : public ProjectAutomation {
public:
    using Reader = std::function<Plan(const QString& path)>;

    // `reader` turns a path into a plan (readPlanFile unless a test gives another).
    explicit PlanProjectAutomation(Reader reader = {});

    // Accepts the project application's class name in any letter case; any other name fails
    // as the automation runtime does.
    std::unique_ptr<ProjectApplication> create(const QString& progId) override;

private:
    Reader reader_;
};

}  // namespace quorrix::importer::plans
