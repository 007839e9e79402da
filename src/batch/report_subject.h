#pragma once

#include <memory>

#include "batch/console_dialogs.h"
#include "importer/automation/automation.h"

namespace quorrix::batch {

// The run's project automation, telling the console which plan its reports are about: from the
// moment a plan is opened until its project application is let go, every report names that plan.
class ReportSubjectProject : public importer::ProjectAutomation {
  public:
    ReportSubjectProject(importer::ProjectAutomation& inner, ConsoleDialogs& dialogs)
        : inner_(inner), dialogs_(dialogs) {}
    std::unique_ptr<importer::ProjectApplication> create(const QString& progId) override;

  private:
    importer::ProjectAutomation& inner_;
    ConsoleDialogs& dialogs_;
};

}  // namespace quorrix::batch
