#include "batch/batch_options.h"

#include <QDate>

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

// A day written as YYYY-MM-DD, and nothing else; an invalid date for anything else.
QDate isoDay(const std::optional<QString>& text) {
    if (!text || text->size() != 10 || text->at(4) != QLatin1Char('-') || text->at(7) != QLatin1Char('-')) return {};
    return QDate::fromString(*text, QStringLiteral("yyyy-MM-dd"));
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
               "  --freeze-header       keep the header row in view while the rows scroll\n"
               "  --filter-buttons      filter buttons on the header row, over every written row and column\n"
               "  --group-outline       group the rows by the tasks' outline levels, summary rows above\n"
               "  --indent-names        indent each task name one step per outline level below the first\n"
               "  --milestones          import milestones only\n"
               "  --unfinished          import unfinished tasks only (% complete below 100)\n"
               "  --max-outline-level N import the outline levels 1 to N only (N from 1 to 9)\n"
               "  --active-between FROM TO\n"
               "                        import only the tasks whose span from start to finish touches the\n"
               "                        days FROM to TO (dates as YYYY-MM-DD); chosen selections all apply\n"
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
               "         quorrix-batch --active-between 2024-06-03 2024-06-16 --freeze-header --filter-buttons \\\n"
               "                       --output next-two-weeks.xlsx ~/Plans\n");
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
        } else if (a == QStringLiteral("--freeze-header")) {
            o.sheet.freezeHeader = true;
        } else if (a == QStringLiteral("--filter-buttons")) {
            o.sheet.filterButtons = true;
        } else if (a == QStringLiteral("--group-outline")) {
            o.sheet.groupOutline = true;
        } else if (a == QStringLiteral("--indent-names")) {
            o.sheet.indentNames = true;
        } else if (a == QStringLiteral("--milestones")) {
            o.rows.milestonesOnly = true;
        } else if (a == QStringLiteral("--unfinished")) {
            o.rows.unfinishedOnly = true;
        } else if (a == QStringLiteral("--max-outline-level") || a.startsWith(QStringLiteral("--max-outline-level="))) {
            const auto v = valueOf(QStringLiteral("--max-outline-level"));
            bool ok = false;
            const int level = v ? v->toInt(&ok) : 0;
            if (!ok || level < 1 || level > importer::kMaxOutlineLevelChoice)
                return fail(QStringLiteral("--max-outline-level takes a whole number from 1 to 9."));
            o.rows.maxOutlineLevel = level;
        } else if (a == QStringLiteral("--active-between") || a.startsWith(QStringLiteral("--active-between="))) {
            const auto from = valueOf(QStringLiteral("--active-between"));
            const auto to = i + 1 < arguments.size() ? std::optional<QString>(arguments[++i]) : std::nullopt;
            o.rows.activeFrom = isoDay(from);
            o.rows.activeTo = isoDay(to);
            if (!o.rows.hasWindow() || o.rows.activeFrom > o.rows.activeTo)
                return fail(QStringLiteral("--active-between takes two dates FROM TO as YYYY-MM-DD, FROM not after TO."));
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
