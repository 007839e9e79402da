#include "importer/backends.h"

namespace quorrix::importer {

std::unique_ptr<SpreadsheetAutomation> makeSpreadsheetAutomation() { return nullptr; }
std::unique_ptr<ProjectAutomation> makeProjectAutomation() { return nullptr; }

}  // namespace quorrix::importer
