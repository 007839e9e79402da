#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <string_view>

// How the spreadsheet application shows the values a workbook holds, and how wide they are in
// its standard font (11 points, 96 dots per inch), for fitting columns.
namespace quorrix::importer::workbook::shown {

inline constexpr std::int64_t kMsecsPerDay = 86400000;

// True for the date-times the spreadsheet can hold as dates: 1900-01-01 to 9999-12-31.
bool isSpreadsheetDate(const QDateTime& value);
// The wall-clock reading as milliseconds since 1899-12-30 00:00.
std::int64_t wallMsecs(const QDateTime& value);
// The spreadsheet's serial number of such a reading (with the leap day of 1900 that the
// spreadsheet counts although it never was).
double dateSerial(std::int64_t msecs);
// True when the reading is a midnight, shown as a date alone.
inline bool isMidnight(std::int64_t msecs) { return msecs % kMsecsPerDay == 0; }

// "m/d/yyyy h:mm", or "m/d/yyyy" at midnight.
QString dateTimeText(std::int64_t msecs);
// A number as the General format shows it: up to eleven characters, exponent form beyond.
QString generalText(double value);

// Widths in pixels of shown values.
int textPixels(const QString& text);
int textPixels(std::string_view utf8);
int dateTimePixels(std::int64_t msecs);
int numberPixels(double value);
// The column width, in characters of the standard font, that shows `pixels` wide content with
// the margin the spreadsheet's own fitting leaves.
double widthForPixels(int pixels);

}  // namespace quorrix::importer::workbook::shown
