#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "importer/columns.h"
#include "importer/sheet_options.h"

namespace quorrix::batch {

struct BatchOptions {
    bool oneSheet = true;
    QString output;
    std::optional<QString> extension;  // folders are scanned for this extension instead of every file
    bool listOnly = false;
    bool nullSeparated = false;  // --list ends each name with NUL instead of a line feed
    bool quiet = false;  // no closing message; the exit status tells the outcome
    QStringList paths;
    std::vector<importer::Column> columns = importer::defaultColumns();  // in the order given
    importer::SheetOptions sheet;
    importer::RowSelection rows;
};

// The options of the command line, or the one-line reason they are unusable.
struct ParsedOptions {
    std::optional<BatchOptions> options;
    QString error;
    bool help = false;
    bool version = false;
};
ParsedOptions parseOptions(const QStringList& arguments);

QString usageText();
// The two lines of a usage error on standard error: its reason, and where to read more.
QString usageErrorText(const QString& reason);
// "quorrix-batch" and the project's version.
QString versionText();

}  // namespace quorrix::batch
