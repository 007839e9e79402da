#pragma once

#include <QStringList>

namespace quorrix::batch {

// quorrix-batch with these arguments (the program's name left out): the paths become list
// entries, the import run writes the workbook, and the exit status says how it went (0 all
// imported, 1 some failed, 2 usage or output error).
int runCommandLine(const QStringList& arguments);

}  // namespace quorrix::batch
