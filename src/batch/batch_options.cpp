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
        "Usage: quorrix-batch [OPTION]... --output FILE.xlsx PATH...\n"
        "Imports the tasks of every plan among PATH, in order, into one new workbook written to FILE.xlsx.\n"
        "A folder among PATH adds every file of its tree, level by level.\n"
        "\n"
        "  --output FILE.xlsx    the workbook to write; replaced only when complete\n"
        "  --layout LAYOUT       one-sheet (all plans on one sheet, the default) or sheet-per-file\n"
        "  --extension EXT       folders add only their files ending in .EXT (for example mpp)\n"
        "  --columns LIST        the workbook's columns as comma-separated keys, in the order given\n"
        "                        (default: name,duration,start,finish); the keys:\n") +
           columnKeyLines() +
           QStringLiteral(
               "                        text1..text30 stands for text1, text2, ... text30; a custom field's header\n"
               "                        is the name the plan gives it; alias:NAME is the custom field each plan\n"
               "                        names NAME\n"
               "  --list                print the resulting list entries, one a line, and import nothing\n"
               "  --quiet               print no closing message; error reports still go to standard error\n"
               "  --help                print this help and exit\n"
               "  --version             print the program's name and version and exit\n"
               "\n"
               "While standard error is a terminal, one line there shows the progress of the run.\n"
               "\n"
               "Exit status: 0 all imported, 1 some failed or an error was reported, 2 usage or output error.\n"
               "\n"
               "Example: quorrix-batch --layout sheet-per-file --extension mpp --output plans.xlsx ~/Plans\n"
               "         quorrix-batch --columns plan,id,name,start,finish,resources --output all.xlsx a.mpp b.xml\n"
               "         quorrix-batch --columns name,duration-shown,predecessors,critical,alias:Region --output s.xlsx a.mpp\n");
}

QString versionText() { return QStringLiteral("quorrix-batch " QUORRIX_VERSION "\n"); }

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
        } else if (a == QStringLiteral("--version")) {
            parsed.version = true;
            return parsed;
        } else if (a == QStringLiteral("--quiet")) {
            o.quiet = true;
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
