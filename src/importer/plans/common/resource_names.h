#pragma once

#include <QString>

namespace quorrix::importer::plans {

// Appends one assigned resource to a task's resource names as the project application lists
// them: names separated by commas, the assignment units in brackets when they are not 100 %
// ("Anna,Bob[50%]"). `units` is a fraction: 1 for 100 %.
void appendResourceName(QString& names, const QString& name, double units);

}  // namespace quorrix::importer::plans
