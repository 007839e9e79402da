#pragma once

#include <memory>

#include "importer/automation.h"

namespace quorrix::importer {

// The backends this platform offers, chosen once at start-up.
std::unique_ptr<SpreadsheetAutomation> makeSpreadsheetAutomation();
std::unique_ptr<ProjectAutomation> makeProjectAutomation();

}  // namespace quorrix::importer
