#include "importer/backends.h"

#include "importer/plans/plan_project.h"
#include "importer/plans/plan_reader.h"
#include "importer/workbook/presenters.h"

namespace quorrix::importer {

std::unique_ptr<SpreadsheetAutomation> makeSpreadsheetAutomation(DialogProvider& dialogs) {
    return std::make_unique<workbook::MemorySpreadsheetAutomation>(std::make_shared<workbook::DesktopPresenter>(dialogs));
}

std::unique_ptr<workbook::MemorySpreadsheetAutomation> makeFileSpreadsheetAutomation(const QString& outputPath) {
    return std::make_unique<workbook::MemorySpreadsheetAutomation>(std::make_shared<workbook::FilePresenter>(outputPath));
}

std::unique_ptr<ProjectAutomation> makeProjectAutomation(ChosenColumns columns) {
    if (!columns) return std::make_unique<plans::PlanProjectAutomation>();
    return std::make_unique<plans::PlanProjectAutomation>([columns = std::move(columns)](const QString& path) {
        plans::ReadOptions options;
        options.details = needsTaskFields(columns());
        return plans::readPlanFile(path, options);
    });
}

}  // namespace quorrix::importer
