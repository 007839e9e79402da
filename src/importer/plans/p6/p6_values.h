#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <limits>
#include <string_view>

// Values shared by the XER and P6 XML readers: wall-clock times as whole minutes, the one-line
// failure of a damaged file, and P6's HTML notes as plain text.
namespace quorrix::importer::plans::p6 {

// A wall-clock date-time as minutes since 1970-01-01 00:00 (no time zone: P6 writes none). Whole
// minutes keep the working-time arithmetic exact and cheap; kNoDate is "no value".
using Minutes = std::int64_t;
inline constexpr Minutes kNoDate = std::numeric_limits<Minutes>::min();
inline constexpr Minutes kMinutesPerDay = 24 * 60;

inline std::int64_t dayOf(Minutes m) { return m >= 0 ? m / kMinutesPerDay : -((-m + kMinutesPerDay - 1) / kMinutesPerDay); }
// 0 = Sunday ... 6 = Saturday.
inline int weekdayOf(std::int64_t day) { return static_cast<int>(((day + 4) % 7 + 7) % 7); }

// A date-time as P6 writes it: "yyyy-MM-dd HH:mm" (XER) or "yyyy-MM-ddTHH:mm:ss" (P6 XML); also a
// date alone, a seconds part (with a fraction), "." between hours and minutes and a one-digit
// month or day. Blanks around it are ignored; seconds are dropped. False for anything else.
bool parseDateTime(std::string_view text, Minutes& out);

// The QDateTime of a wall-clock minute (Qt::UTC as its time zone, as every reader returns dates);
// an invalid QDateTime for kNoDate.
QDateTime toDateTime(Minutes m);

// Throws the one-line failures of a P6 file. Readers see bytes only: the dispatcher puts the
// file's name in (namedFailure).
class Reporter {
public:
    [[noreturn]] void damaged(const QString& what) const;
    [[noreturn]] void notAPlan() const;
    [[noreturn]] void tooLarge() const;
};

// Text the file holds, shortened and made one-line for a message.
QString shownText(std::string_view utf8);

// A note of P6 (HTML, as both formats store notebook topics) as plain text: tags dropped, a line
// break for br and for block elements, the head dropped, entities decoded, blanks collapsed, blank
// lines dropped, trimmed. An unterminated tag at the end is dropped.
QString noteText(const QString& html);

}  // namespace quorrix::importer::plans::p6
