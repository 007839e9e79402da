#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include "platform/failure.h"

namespace quorrix::importer::plans {

// The largest plan file any reader loads; anything bigger is refused before it is read.
inline constexpr qint64 kMaxPlanFileSize = qint64(2) * 1024 * 1024 * 1024;

// The first bytes of a file, by which its format is recognised.
inline constexpr qint64 kPlanHeadSize = 4096;

// A plan file as a reader receives it from the dispatcher (plans/plan_reader.h), which checked
// the path, opened the file once and read its bytes.
struct PlanFile {
    QString path;
    qint64 size = 0;   // as the check found it
    QByteArray bytes;  // the whole file, or its first bytes for a reader that reads the path itself
};

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

// A reader's failure told of the file by its name: a description that speaks of "The file", "The
// plan" or "The database" gets the name after that subject ("The file \"a.mpp\" is damaged: ...").
// The readers themselves see bytes only and leave the name out.
Failure namedFailure(const Failure& failure, const QString& name);

}  // namespace quorrix::importer::plans
