#include "importer/backends.h"

#include "importer/workbook/presenters.h"

namespace quorrix::importer {

std::unique_ptr<SpreadsheetAutomation> makeSpreadsheetAutomation(DialogProvider& dialogs) {
    return std::make_unique<workbook::MemorySpreadsheetAutomation>(std::make_shared<workbook::DesktopPresenter>(dialogs));
}

std::unique_ptr<workbook::MemorySpreadsheetAutomation> makeFileSpreadsheetAutomation(
    const QString& outputPath, std::function<void(const QString& reason)> failed) {
    return std::make_unique<workbook::MemorySpreadsheetAutomation>(
        std::make_shared<workbook::FilePresenter>(outputPath, std::move(failed)));
}

std::unique_ptr<PlanProjectAutomation> makeProjectAutomation() { return std::make_unique<PlanProjectAutomation>(); }

}  // namespace quorrix::importer
