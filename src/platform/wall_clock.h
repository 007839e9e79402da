#pragma once

#include <QDateTime>

namespace quorrix {

// Date-times are wall-clock readings as a plan holds them: always built with Qt::UTC so that no
// time-zone or daylight-saving conversion can ever touch them.
inline QDateTime wallClock(QDate date, QTime time) { return QDateTime(date, time, Qt::UTC); }

}  // namespace quorrix
