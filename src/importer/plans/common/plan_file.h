#pragma once

#include <QString>
#include <QtGlobal>

namespace quorrix::importer::plans {

// The largest plan file any reader loads; anything bigger is refused before it is read.
inline constexpr qint64 kMaxPlanFileSize = qint64(2) * 1024 * 1024 * 1024;

// Checks that `path` names an existing, readable, regular file of acceptable size and returns
// its size. Throws quorrix::Failure with a one-line description otherwise (no name given, missing,
// a folder, not a regular file, not readable, too large). Nothing is opened for writing.
qint64 checkPlanFile(const QString& path);

// The file's name as messages show it: its last component, with line breaks and other control
// characters replaced so that the message stays on one line.
QString shownFileName(const QString& path);

// Text from a file made safe for a one-line message: control characters replaced, cut to a
// readable length.
QString shownValue(const QString& text);

}  // namespace quorrix::importer::plans
