#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <span>

#include "importer/plans/common/plan.h"
#include "importer/plans/common/plan_file.h"

namespace quorrix::importer::plans {

// One plan format the program reads: its name, the test of a file's first bytes that recognises
// it, and its reader. The reader is handed the whole file's bytes, or only the first ones when
// `wholeFile` is false (a reader that reads the path itself); it may take them over.
struct PlanFormat {
    const char* name;
    bool (*recognises)(const QByteArray& head);
    Plan (*read)(PlanFile& file, const ReadOptions& options);
    bool wholeFile;
};

// Every format, in the order a file's first bytes are tried against them. Adding a format is one
// folder under plans/ and one row of this table.
std::span<const PlanFormat> planFormats();

// Reads any plan file the program understands, recognising its format by its content, not by
// its name. The path is checked and the file opened once, for reading only; its bytes go to the
// reader of its format. Throws quorrix::Failure with a one-line description that names the file
// when the path is not a readable plan.
Plan readPlanFile(const QString& path, const ReadOptions& options = {});

// The extensions, without the dot, of the files a reader above is made for, as the file dialog
// offers them: a format added to readPlanFile adds its own here.
QStringList planFileExtensions();

}  // namespace quorrix::importer::plans
