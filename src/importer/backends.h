#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "importer/automation/automation.h"
#include "importer/plan_project.h"
#include "importer/workbook/memory_spreadsheet.h"
#include "platform/dialogs.h"

namespace quorrix::importer {

// The backends this platform offers, chosen once at start-up.

// The window's spreadsheet: the finished workbook is shown to the user (messages through
// `dialogs`, which must outlive the backend).
std::unique_ptr<SpreadsheetAutomation> makeSpreadsheetAutomation(DialogProvider& dialogs);
// The command line's spreadsheet: the finished workbook is written to `outputPath` and nothing
// is opened. Its workbooks stay readable through the returned object. `failed`, when given,
// receives the one-line reason the workbook could not be written instead of a failure.
std::unique_ptr<workbook::MemorySpreadsheetAutomation> makeFileSpreadsheetAutomation(
    const QString& outputPath, std::function<void(const QString& reason)> failed = {});

// The plan-file project application; the import run tells it (as PlanReading) which further task
// fields to read.
std::unique_ptr<PlanProjectAutomation> makeProjectAutomation();

}  // namespace quorrix::importer
