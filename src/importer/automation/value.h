#pragma once

#include <QDateTime>
#include <QString>
#include <variant>

#include "platform/wall_clock.h"

namespace quorrix::importer {

// A value that crosses the automation interfaces: nothing, text, a number or a date-time.
// Date-times are wall-clock readings (see platform/wall_clock.h).
using Value = std::variant<std::monostate, QString, double, QDateTime>;

using quorrix::wallClock;

}  // namespace quorrix::importer
