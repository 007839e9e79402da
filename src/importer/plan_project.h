#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "importer/automation/automation.h"
#include "importer/lookahead_host.h"
#include "importer/plans/common/plan.h"

namespace quorrix::importer {

class PlanPrefetcher;

// The project application on platforms without one: each application opens one plan at a time
// from a plan file. Tasks are served as the project application returns them: name as text,
// duration in minutes, start and finish as wall-clock date-times ("NA" when the plan has none).
//
// Told which plans come next (PlanLookahead), it reads them ahead on a second thread with the
// same reader, and an application opening one of them takes the plan read ahead instead of
// reading it again (see PlanPrefetcher): the opening gives the same plan, or the same failure,
// as a read at that moment would.
class PlanProjectAutomation : public ProjectAutomation, public PlanLookahead {
public:
    using Reader = std::function<plans::Plan(const QString& path)>;

    // `reader` turns a path into a plan (readPlanFile unless a test gives another). It may be
    // called on the prefetch thread and the caller's at once (for different files).
    explicit PlanProjectAutomation(Reader reader = {});
    ~PlanProjectAutomation() override;

    // Accepts the project application's class name in any letter case; any other name fails
    // as the automation runtime does.
    std::unique_ptr<ProjectApplication> create(const QString& progId) override;

    void expectPlans(long step, const QStringList& paths) override;

    // Waits until the plans expected next are read as far as they may be (tests, benchmarks).
    void settle();

private:
    Reader reader_;
    std::shared_ptr<PlanPrefetcher> prefetcher_;
};

}  // namespace quorrix::importer
