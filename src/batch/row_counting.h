#pragma once

#include <functional>
#include <map>
#include <memory>

#include "importer/automation/automation.h"

namespace quorrix::batch {

// The spreadsheet application with a listener for task rows: every write to the first column
// below the header row counts as one task row. Everything else passes through unchanged.
class RowCountingSpreadsheet : public importer::SpreadsheetAutomation {
public:
    RowCountingSpreadsheet(importer::SpreadsheetAutomation& inner, std::function<void()> onRow);

    std::unique_ptr<importer::SpreadsheetApplication> create() override;
    std::unique_ptr<importer::SpreadsheetApplication> attachRunning() override;

private:
    importer::SpreadsheetAutomation& inner_;
    std::function<void()> onRow_;
};

}  // namespace quorrix::batch
