#include "importer/plans/common/resource_names.h"

#include <cmath>

namespace quorrix::importer::plans {

void appendResourceName(QString& names, const QString& name, double units) {
    if (!names.isEmpty()) names += QLatin1Char(',');
    names += name;
    // Percent to two decimals at most; a fraction of a hundredth is noise from the stored number.
    const double percent = std::round(units * 10000) / 100;
    if (!std::isfinite(percent) || percent == 100) return;
    names += QLatin1Char('[');
    names += QString::number(percent == 0 ? 0 : percent, 'g', 15);
    names += QLatin1String("%]");
}

}  // namespace quorrix::importer::plans
