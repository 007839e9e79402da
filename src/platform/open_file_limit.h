#pragma once

namespace quorrix {

// Raises this process's limit on open files to the most it may have (its hard limit), at the
// start of each program: a workbook written sheet by sheet keeps a file open for every sheet.
void raiseOpenFileLimit();

// The limit on open files and how many of them are open now.
struct OpenFiles {
    long limit = 0;
    long open = 0;
};
OpenFiles openFiles();

}  // namespace quorrix
