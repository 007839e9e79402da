#include "batch/batch_options.h"

#include <QDate>
#include <QHash>
#include <algorithm>

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
        "       quorrix-batch --list [--null] [OPTION]... PATH...\n"
        "Imports the tasks of every plan among PATH, in order, into one new workbook written to FILE.xlsx.\n"
        "A folder among PATH adds every file of its tree, level by level (at most 100000 files a folder).\n"
        "Plans are recognised by their content: Project XML, .mpp and .mpt, .mpx, .mpd, and Primavera P6\n"
        "XER and P6 XML.\n"
        "\n"
        "  -o, --output FILE.xlsx  the workbook to write; replaced only when complete\n"
        "  -l, --layout LAYOUT     one-sheet (all plans on one sheet, the default) or sheet-per-file\n"
        "  -e, --extension EXT     folders add only their files ending in .EXT (for example mpp)\n"
        "  -c, --columns LIST      the workbook's columns as comma-separated keys, in the order given\n"
        "                          (default: name,duration,start,finish); the keys:\n") +
           columnKeyLines() +
           QStringLiteral(
               "                          a range such as text1..text30 or number3..number5 stands for each\n"
               "                          key in it; a custom field's header is the name the plan gives it;\n"
               "                          alias:NAME is the custom field each plan names NAME\n"
               "      --freeze-header     keep the header row in view while the rows scroll\n"
               "      --filter-buttons    filter buttons on the header row, over every written row and column\n"
               "      --group-outline     group the rows by the tasks' outline levels, summary rows above\n"
               "      --indent-names      indent each task name one step per outline level below the first\n"
               "      --milestones        import milestones only\n"
               "      --unfinished        import unfinished tasks only (% complete below 100)\n"
               "      --max-outline-level N\n"
               "                          import the outline levels 1 to N only (N from 1 to 9)\n"
               "      --active-between FROM TO\n"
               "                          import only the tasks whose span from start to finish touches the\n"
               "                          days FROM to TO (dates as YYYY-MM-DD); chosen selections all apply\n"
               "      --list              print the resulting list entries, one a line, and import nothing\n"
               "      --null              with --list: end each entry with NUL instead of a line feed\n"
               "  -q, --quiet             print no closing message; error reports still go to standard error\n"
               "  -h, --help              print this help and exit\n"
               "  -V, --version           print the program's name and version and exit\n"
               "      --                  every argument after it is a PATH\n"
               "\n"
               "While standard error is a terminal, one line there shows the progress of the run.\n"
               "On a terminal, a file name holding a control character is shown quoted as $'...', as ls does.\n"
               "\n"
               "Exit status: 0 all imported, 1 some failed or an error was reported, 2 usage or output error,\n"
               "or no files added.\n"
               "\n"
               "Example: quorrix-batch --layout sheet-per-file --extension mpp --output plans.xlsx ~/Plans\n"
               "         quorrix-batch -c plan,id,name,start,finish,resources -o all.xlsx a.mpp b.xml\n"
               "         quorrix-batch -c name,duration-shown,predecessors,critical,alias:Region -o s.xlsx a.mpp\n"
               "         quorrix-batch --active-between 2024-06-03 2024-06-16 --freeze-header --filter-buttons \\\n"
               "                       -o next-two-weeks.xlsx ~/Plans\n");
}

QString usageErrorText(const QString& reason) {
    return QStringLiteral("quorrix-batch: %1\nTry 'quorrix-batch --help'.\n").arg(reason);
}

QString versionText() { return QStringLiteral("quorrix-batch " QUORRIX_VERSION "\n"); }

namespace {

// The options that take a value, by their long and short names.
struct ValueOption {
    QLatin1StringView name;
    QChar letter;
};
constexpr ValueOption kOutput{QLatin1StringView("--output"), u'o'};
constexpr ValueOption kLayout{QLatin1StringView("--layout"), u'l'};
constexpr ValueOption kColumns{QLatin1StringView("--columns"), u'c'};
constexpr ValueOption kExtension{QLatin1StringView("--extension"), u'e'};
// Long names only; --active-between takes a second value, the argument after its first.
constexpr ValueOption kMaxOutlineLevel{QLatin1StringView("--max-outline-level"), u'\0'};
constexpr ValueOption kActiveBetween{QLatin1StringView("--active-between"), u'\0'};
constexpr ValueOption kValueOptions[] = {kOutput, kLayout, kColumns, kExtension, kMaxOutlineLevel, kActiveBetween};

// The option an argument stands for in its long form, with its value when it carries one: "-o x"
// and "-ox" as "--output" and "--output=x", a run of flags such as "-qV" as its first one with
// the rest left for later.
struct Split {
    QString option;               // "--output", "--quiet", ...; empty for a path
    std::optional<QString> value; // given in the same argument
    QString rest;                 // flags of a run still to be read, as "-V"
};

Split split(const QString& a) {
    if (a.startsWith(QStringLiteral("--"))) {
        const qsizetype equals = a.indexOf(QLatin1Char('='));
        if (equals < 0) return {a, std::nullopt, {}};
        return {a.left(equals), a.mid(equals + 1), {}};
    }
    if (a.size() < 2 || !a.startsWith(QLatin1Char('-'))) return {};  // "-" alone is a path
    const QChar letter = a[1];
    for (const ValueOption& o : kValueOptions)
        if (o.letter == letter) return {QString(o.name), a.size() > 2 ? std::optional(a.mid(2)) : std::nullopt, {}};
    static const QHash<QChar, QString> flags{{u'h', QStringLiteral("--help")},
                                             {u'V', QStringLiteral("--version")},
                                             {u'q', QStringLiteral("--quiet")}};
    const QString rest = a.size() > 2 ? QLatin1Char('-') + a.mid(2) : QString();
    return {flags.value(letter, a.left(2)), std::nullopt, rest};
}

bool endsInXlsx(const QString& path) { return path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive); }

}  // namespace

ParsedOptions parseOptions(const QStringList& arguments) {
    ParsedOptions parsed;
    BatchOptions o;
    bool endOfOptions = false;
    bool nullSeparated = false;
    const auto fail = [&](const QString& why) {
        parsed.error = why;
        return parsed;
    };
    QStringList pending = arguments;
    for (qsizetype i = 0; i < pending.size(); ++i) {
        const QString a = pending[i];
        if (endOfOptions) {
            o.paths << a;
            continue;
        }
        if (a == QStringLiteral("--")) {
            endOfOptions = true;
            continue;
        }
        const Split s = split(a);
        if (s.option.isEmpty()) {
            o.paths << a;
            continue;
        }
        if (!s.rest.isEmpty()) pending.insert(i + 1, s.rest);
        static const QStringList kFlags{QStringLiteral("--help"),          QStringLiteral("--version"),
                                        QStringLiteral("--quiet"),         QStringLiteral("--list"),
                                        QStringLiteral("--null"),          QStringLiteral("--freeze-header"),
                                        QStringLiteral("--filter-buttons"), QStringLiteral("--group-outline"),
                                        QStringLiteral("--indent-names"),  QStringLiteral("--milestones"),
                                        QStringLiteral("--unfinished")};
        const bool takesValue = std::any_of(std::begin(kValueOptions), std::end(kValueOptions),
                                            [&](const ValueOption& v) { return s.option == v.name; });
        if (!takesValue && !kFlags.contains(s.option)) return fail(QStringLiteral("Unknown option: ") + s.option);
        if (!takesValue && s.value)
            return fail(QStringLiteral("%1 takes no value.").arg(s.option));
        std::optional<QString> value = s.value;
        if (takesValue && !value && i + 1 < pending.size()) value = pending[++i];

        if (s.option == QStringLiteral("--help")) {
            parsed.help = true;
            return parsed;
        } else if (s.option == QStringLiteral("--version")) {
            parsed.version = true;
            return parsed;
        } else if (s.option == QStringLiteral("--quiet")) {
            o.quiet = true;
        } else if (s.option == QStringLiteral("--list")) {
            o.listOnly = true;
        } else if (s.option == QStringLiteral("--null")) {
            nullSeparated = true;
        } else if (s.option == QStringLiteral("--freeze-header")) {
            o.sheet.freezeHeader = true;
        } else if (s.option == QStringLiteral("--filter-buttons")) {
            o.sheet.filterButtons = true;
        } else if (s.option == QStringLiteral("--group-outline")) {
            o.sheet.groupOutline = true;
        } else if (s.option == QStringLiteral("--indent-names")) {
            o.sheet.indentNames = true;
        } else if (s.option == QStringLiteral("--milestones")) {
            o.rows.milestonesOnly = true;
        } else if (s.option == QStringLiteral("--unfinished")) {
            o.rows.unfinishedOnly = true;
        } else if (s.option == kMaxOutlineLevel.name) {
            bool ok = false;
            const int level = value ? value->toInt(&ok) : 0;
            if (!ok || level < 1 || level > importer::kMaxOutlineLevelChoice)
                return fail(QStringLiteral("--max-outline-level takes a whole number from 1 to 9."));
            o.rows.maxOutlineLevel = level;
        } else if (s.option == kActiveBetween.name) {
            o.rows.activeFrom = isoDay(value);
            o.rows.activeTo = isoDay(i + 1 < pending.size() ? std::optional(pending[++i]) : std::nullopt);
            if (!o.rows.hasWindow() || o.rows.activeFrom > o.rows.activeTo)
                return fail(QStringLiteral("--active-between takes two dates FROM TO as YYYY-MM-DD, FROM not after TO."));
        } else if (s.option == kLayout.name) {
            if (value == QStringLiteral("one-sheet"))
                o.oneSheet = true;
            else if (value == QStringLiteral("sheet-per-file"))
                o.oneSheet = false;
            else
                return fail(QStringLiteral("--layout takes one-sheet or sheet-per-file."));
        } else if (s.option == kOutput.name) {
            if (!value || value->isEmpty()) return fail(QStringLiteral("--output needs a file name."));
            if (!endsInXlsx(*value))
                return fail(QStringLiteral("--output must name a workbook ending in .xlsx: %1").arg(*value));
            o.output = *value;
        } else if (s.option == kExtension.name) {
            // "--extension .mpp" means the same as "--extension mpp".
            if (value && value->startsWith(QLatin1Char('.'))) value->remove(0, 1);
            if (!value || value->isEmpty())
                return fail(QStringLiteral("--extension needs an extension, for example mpp."));
            o.extension = *value;
        } else if (s.option == kColumns.name) {
            if (!value)
                return fail(QStringLiteral("--columns needs a list of columns. Valid columns: ") +
                            importer::columnKeyList());
            importer::ColumnChoice choice = importer::parseColumnList(*value);
            if (!choice.columns) return fail(QStringLiteral("--columns: ") + choice.error);
            o.columns = std::move(*choice.columns);
        }
    }
    if (nullSeparated && !o.listOnly) return fail(QStringLiteral("--null goes with --list."));
    o.nullSeparated = nullSeparated;
    if (o.paths.isEmpty()) return fail(QStringLiteral("No PATH given."));
    if (!o.listOnly && o.output.isEmpty()) return fail(QStringLiteral("--output FILE.xlsx is required."));
    parsed.options = o;
    return parsed;
}

}  // namespace quorrix::batch
