#pragma once

#include <QString>

#include "importer/plans/plan.h"

namespace quorrix::importer::plans {

// Reads any plan file the program understands, recognising its format by its content, not by
// its name. Throws quorrix::Failure with a one-line description when the path is not a readable
// plan. The file is only ever opened for reading.
Plan readPlanFile(const QString& path, const ReadOptions& options = {});

}  // namespace quorrix::importer::plans
