#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <span>

#include "importer/plans/common/plan.h"
#include "importer/plans/common/plan_file.h"

namespace quorrix::importer::plans {

// One plan format the program reads: its name, the test of a file's first bytes that recognises
// it, its reader, and the extensions its files usually carry (space-separated, without the dot),
// which the file dialog offers. The reader is handed the whole file's bytes, or only the first ones
// when `wholeFile` is false (a reader that reads the path itself); it may take them over.
struct PlanFormat {
    const char* name;
    bool (*recognises)(const QByteArray& head);
    Plan (*read)(PlanFile& file, const ReadOptions& options);
    bool wholeFile;
    const char* extensions = nullptr;
};

// Every format, in the order a file's first bytes are tried against them. Adding a format is one
// folder under plans/ and one row of this table.
std::span<const PlanFormat> planFormats();

// The extensions of every format, each once, in the order of the table.
QStringList planFileExtensions();

// Reads any plan file the program understands, recognising its format by its content, not by
// its name. The path is checked and the file opened once, for reading only; its bytes go to the
// reader of its format. Throws quorrix::Failure with a one-line description that names the file
// when the path is not a readable plan.
Plan readPlanFile(const QString& path, const ReadOptions& options = {});

}  // namespace quorrix::importer::plans
