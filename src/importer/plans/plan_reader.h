#pragma once

#include <QString>
#include <QStringList>

#include "importer/plans/plan.h"

namespace quorrix::importer::plans {

// Reads any plan file the program understands, recognising its format by its content, not by
// its name. Throws quorrix::Failure with a one-line description when the path is not a readable
// plan. The file is only ever opened for reading.
Plan readPlanFile(const QString& path, const ReadOptions& options = {});

// The extensions, without the dot, of the files a reader above is made for, as the file dialog
// offers them: a format added to readPlanFile adds its own here.
QStringList planFileExtensions();

}  // namespace quorrix::importer::plans
