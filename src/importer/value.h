#pragma once

#include <QDateTime>
#include <QString>
#include <variant>

namespace quorrix::importer {

// A value that crosses the automation interfaces: nothing, text, a number or a date-time.
// Date-times are wall-clock readings as the plan holds them: always built with Qt::UTC so that
// no time-zone or daylight-saving conversion can ever touch them.
using Value = std::variant<std::monostate, QString, double, QDateTime>;

inline QDateTime wallClock(QDate date, QTime time) { return QDateTime(date, time, Qt::UTC); }

}  // namespace quorrix::importer
