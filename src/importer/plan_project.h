#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "importer/automation/automation.h"
#include "importer/import_run.h"
#include "importer/plans/common/plan.h"

namespace quorrix::importer {

class PlanPrefetcher;

// The project application on platforms without one: each application opens one plan at a time
// from a plan file. Tasks are served as the project application returns them: name as text,
// duration in minutes, start and finish as wall-clock date-times ("NA" when the plan has none).
//
// The run tells it (as PlanReading) the options to read plans with and which plans come next; it
// reads those ahead on a second thread with the same reader, and an application opening one of
// them takes the plan read ahead instead of reading it again (see PlanPrefetcher): the opening
// gives the same plan, or the same failure, as a read at that moment would. Untold, it reads the
// four fields.
class PlanProjectAutomation : public ProjectAutomation, public PlanReading {
public:
    using Reader = std::function<plans::Plan(const QString& path, const plans::ReadOptions& options)>;

    // `reader` turns a path into a plan (readPlanFile unless a test gives another). It may be
    // called on the prefetch thread and the caller's at once (for different files).
    explicit PlanProjectAutomation(Reader reader = {});
    ~PlanProjectAutomation() override;

    // Accepts the project application's class name in any letter case; any other name fails
    // as the automation runtime does.
    std::unique_ptr<ProjectApplication> create(const QString& progId) override;

    void readWith(const plans::ReadOptions& options) override;
    void expectPlans(long step, const QStringList& paths) override;

    // Waits until the plans expected next are read as far as they may be (tests, benchmarks).
    void settle();

    struct Shared;  // what the applications it creates read with

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace quorrix::importer
