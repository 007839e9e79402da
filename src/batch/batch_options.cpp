#include "batch/batch_options.h"

namespace quorrix::batch {

namespace {

// The valid column keys, wrapped into indented lines.
QString columnKeyLines() {
    QString out;
    QString line = QStringLiteral("  ");
    const QStringList keys = importer::columnKeyList().split(QLatin1Char(','));
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QString item = keys[i] + (i + 1 < keys.size() ? QStringLiteral(",") : QString());
        if (line.size() + item.size() > 100) {
            out += line + QLatin1Char('\n');
            line = QStringLiteral("  ");
        }
        line += item;
    }
    return out + line + QLatin1Char('\n');
}

}  // namespace

QString usageText() {
    return QStringLiteral(
               "Usage: quorrix-batch [--layout one-sheet|sheet-per-file] --output FILE.xlsx [--extension EXT] [--list] "
               "[--columns LIST] PATH...\n"
               "Imports the tasks of every plan among PATH into a new workbook written to FILE.xlsx.\n"
               "A folder among PATH adds every file of its tree, or only the files ending in .EXT with --extension.\n"
               "--list prints the resulting list entries, one a line, and imports nothing.\n"
               "--columns LIST chooses the workbook's columns as comma-separated keys, in the order given; without\n"
               "it: name,duration,start,finish. The keys:\n") +
           columnKeyLines() +
           QStringLiteral("Exit status: 0 all imported, 1 some failed, 2 usage or output error.\n");
}

ParsedOptions parseOptions(const QStringList& arguments) {
    ParsedOptions parsed;
    BatchOptions o;
    bool endOfOptions = false;
    const auto fail = [&](const QString& why) {
        parsed.error = why;
        return parsed;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const auto valueOf = [&](const QString& name) -> std::optional<QString> {
            if (a.startsWith(name + QLatin1Char('='))) return a.mid(name.size() + 1);
            if (i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };
        if (endOfOptions || !a.startsWith(QStringLiteral("--"))) {
            o.paths << a;
        } else if (a == QStringLiteral("--")) {
            endOfOptions = true;
        } else if (a == QStringLiteral("--help")) {
            parsed.help = true;
            return parsed;
        } else if (a == QStringLiteral("--list")) {
            o.listOnly = true;
        } else if (a == QStringLiteral("--layout") || a.startsWith(QStringLiteral("--layout="))) {
            const auto v = valueOf(QStringLiteral("--layout"));
            if (v == QStringLiteral("one-sheet"))
                o.oneSheet = true;
            else if (v == QStringLiteral("sheet-per-file"))
                o.oneSheet = false;
            else
                return fail(QStringLiteral("--layout takes one-sheet or sheet-per-file."));
        } else if (a == QStringLiteral("--output") || a.startsWith(QStringLiteral("--output="))) {
            const auto v = valueOf(QStringLiteral("--output"));
            if (!v || v->isEmpty()) return fail(QStringLiteral("--output needs a file name."));
            o.output = *v;
        } else if (a == QStringLiteral("--extension") || a.startsWith(QStringLiteral("--extension="))) {
            const auto v = valueOf(QStringLiteral("--extension"));
            if (!v || v->isEmpty()) return fail(QStringLiteral("--extension needs an extension, for example mpp."));
            o.extension = *v;
        } else if (a == QStringLiteral("--columns") || a.startsWith(QStringLiteral("--columns="))) {
            const auto v = valueOf(QStringLiteral("--columns"));
            if (!v)
                return fail(QStringLiteral("--columns needs a list of columns. Valid columns: ") +
                            importer::columnKeyList());
            importer::ColumnChoice choice = importer::parseColumnList(*v);
            if (!choice.columns) return fail(QStringLiteral("--columns: ") + choice.error);
            o.columns = std::move(*choice.columns);
        } else {
            return fail(QStringLiteral("Unknown option: ") + a);
        }
    }
    if (o.paths.isEmpty()) return fail(QStringLiteral("No PATH given."));
    if (!o.listOnly && o.output.isEmpty()) return fail(QStringLiteral("--output FILE.xlsx is required."));
    parsed.options = o;
    return parsed;
}

}  // namespace quorrix::batch
