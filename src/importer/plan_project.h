#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "importer/automation/automation.h"
#include "importer/import_run.h"
#include "importer/plans/common/plan.h"

namespace quorrix::importer {

// The project application on platforms without one: each application opens one plan at a time
// from a plan file. Tasks are served as the project application returns them: name as text,
// duration in minutes, start and finish as wall-clock date-times ("NA" when the plan has none).
// Plans are read with the options the run last gave (PlanReading); the four fields alone until
// it gives any.
class PlanProjectAutomation : public ProjectAutomation, public PlanReading {
public:
    using Reader = std::function<plans::Plan(const QString& path, const plans::ReadOptions& options)>;

    // `reader` turns a path into a plan (readPlanFile unless a test gives another).
    explicit PlanProjectAutomation(Reader reader = {});
    ~PlanProjectAutomation() override;

    // Accepts the project application's class name in any letter case; any other name fails
    // as the automation runtime does.
    std::unique_ptr<ProjectApplication> create(const QString& progId) override;

    void readWith(const plans::ReadOptions& options) override { *options_ = options; }

private:
    Reader reader_;
    // Shared with the applications made, which read every plan they open with them.
    std::shared_ptr<plans::ReadOptions> options_ = std::make_shared<plans::ReadOptions>();
};

}  // namespace quorrix::importer
