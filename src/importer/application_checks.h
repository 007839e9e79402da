#pragma once

#include <functional>

#include "importer/automation/automation.h"
#include "platform/dialogs.h"

// Detecting a running spreadsheet application.
namespace Excel1 {

// True when a running spreadsheet application answers as "Microsoft Excel". Never fails.
bool IsExcelRunning(quorrix::importer::SpreadsheetAutomation& spreadsheet);

// Asks whether to go on when a spreadsheet application is running; true means: do not proceed.
bool WarnIfExcelOpen(quorrix::importer::SpreadsheetAutomation& spreadsheet, quorrix::DialogProvider& dialogs);

}  // namespace Excel1

// Checks that the two applications can be started.
namespace IsInstalled {

// Shows the advice and ends the program when no spreadsheet application can be created.
void CheckExcelCreatable(quorrix::importer::SpreadsheetAutomation& spreadsheet, quorrix::DialogProvider& dialogs,
                         const std::function<void(int)>& exitProcess);

// Warns when no project application can be created; the program goes on.
void CheckProjectInstalled(quorrix::importer::ProjectAutomation& project, quorrix::DialogProvider& dialogs);

}  // namespace IsInstalled
