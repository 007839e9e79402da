#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "importer/automation.h"
#include "importer/columns.h"
#include "importer/workbook/memory_spreadsheet.h"
#include "platform/dialogs.h"

namespace quorrix::importer {

// The backends this platform offers, chosen once at start-up.

// The window's spreadsheet: the finished workbook is shown to the user (messages through
// `dialogs`, which must outlive the backend).
std::unique_ptr<SpreadsheetAutomation> makeSpreadsheetAutomation(DialogProvider& dialogs);
// The command line's spreadsheet: the finished workbook is written to `outputPath` and nothing
// is opened. Its workbooks stay readable through the returned object.
std::unique_ptr<workbook::MemorySpreadsheetAutomation> makeFileSpreadsheetAutomation(const QString& outputPath);

// The plan-file project application. `columns` tells, each time a plan opens, which columns the
// run is writing: the further task fields are read only when one of them needs them. Without
// it, plans are read for the default four columns only.
using ChosenColumns = std::function<std::vector<Column>()>;
std::unique_ptr<ProjectAutomation> makeProjectAutomation(ChosenColumns columns = {});

}  // namespace quorrix::importer
