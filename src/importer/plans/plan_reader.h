#pragma once

#include <QByteArray>
#include <QString>
#include <span>

#include "importer/plans/common/plan.h"

namespace quorrix::importer::plans {

// One plan format the program reads: its name, the test of a file's first bytes that recognises
// it, and its reader.
struct PlanFormat {
    const char* name;
    bool (*recognises)(const QByteArray& head);
    Plan (*read)(const QString& path, const ReadOptions& options);
};

// Every format, in the order a file's first bytes are tried against them. Adding a format is one
// folder under plans/ and one row of this table.
std::span<const PlanFormat> planFormats();

// Reads any plan file the program understands, recognising its format by its content, not by
// its name. Throws quorrix::Failure with a one-line description when the path is not a readable
// plan. The file is only ever opened for reading.
Plan readPlanFile(const QString& path, const ReadOptions& options = {});

}  // namespace quorrix::importer::plans
