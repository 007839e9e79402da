#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

#include "importer/plans/common/plan.h"

namespace quorrix::importer::plans {

// Reads a plan saved in Project's XML format from the file's bytes, which it parses in place.
// Throws quorrix::Failure with a one-line description when they are not such a plan, are damaged,
// or hold a value that cannot be read. A document type definition is refused and no entity is
// ever expanded or fetched.
Plan readMspdi(QByteArray bytes, const ReadOptions& options = {});

// Whether the first bytes of a file are markup (possibly behind a byte-order mark, in UTF-8, UTF-16
// or UTF-32): such a file is read as a plan in Project's XML format.
bool isXmlFile(const QByteArray& head);

// The pugixml parse options the reader uses (the benchmark parses alone with them).
extern const unsigned kMspdiParseOptions;

// The field readers, shared with the other plan formats.
// An ISO-8601 duration ("PT8H0M0S", "-PT1.5H", "P2DT4H30M") in minutes; false when it does not parse.
bool parseDurationMinutes(const char* text, double& minutes);
// "2024-03-05T08:00:00" (seconds, fractions and a zone designator optional; a date alone means
// midnight) as a wall-clock date-time with Qt::UTC as its time zone; an invalid QDateTime when it does
// not parse.
QDateTime parseWallClock(const char* text);

}  // namespace quorrix::importer::plans
