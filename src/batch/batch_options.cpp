#include "batch/batch_options.h"

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
               "         quorrix-batch -c plan,id,name,start,finish,resources -o all.xlsx a.mpp b.xml\n");
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
constexpr ValueOption kValueOptions[] = {kOutput, kLayout, kColumns, kExtension};

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
        static const QStringList kFlags{QStringLiteral("--help"), QStringLiteral("--version"), QStringLiteral("--quiet"),
                                        QStringLiteral("--list"), QStringLiteral("--null")};
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
