#pragma once

#include <QByteArray>
#include <QString>

#include "importer/plans/common/plan.h"

// The reader of MPX exchange files (.mpx): the text format that Project 98 and earlier, and many
// other planning tools, write. Every problem - not such a file, a damaged record, a value that
// cannot be read - is thrown as a quorrix::Failure with a one-line description.
namespace quorrix::importer::plans {

// Reads the plan held in a file's bytes.
Plan readMpx(const QByteArray& bytes, const ReadOptions& options = {});

// True when `head` (the first bytes of a file) starts like an MPX file: "MPX" followed by the
// field separator the file declares for itself.
bool isMpxFile(const QByteArray& head);

}  // namespace quorrix::importer::plans
