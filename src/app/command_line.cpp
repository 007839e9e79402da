#include "app/command_line.h"

#include <QDir>
#include <QFileInfo>

namespace quorrix {

namespace {

// The toolkit's own options (a leading "--" counts as "-" for them, as the toolkit reads them).
const QStringList kToolkitOptionsWithValue = {
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),          QStringLiteral("qwindowgeometry"),    QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("session"),            QStringLiteral("style"),
    QStringLiteral("stylesheet"),      QStringLiteral("display"),            QStringLiteral("geometry"),
    QStringLiteral("qmljsdebugger")};
const QStringList kToolkitFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                   QStringLiteral("nograb"), QStringLiteral("dograb"), QStringLiteral("sync")};

WindowCommand usageError(const QString& reason) {
    WindowCommand command;
    command.action = WindowCommand::Action::UsageError;
    command.error = QStringLiteral("quorrix: %1 (see quorrix --help)").arg(reason);
    return command;
}

}  // namespace

WindowCommand parseWindowCommand(const QStringList& arguments, const QString& currentFolder) {
    WindowCommand command;
    const QDir here(currentFolder);
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QStringLiteral("-")) {
            if (argument.isEmpty()) return usageError(QStringLiteral("an empty path was given"));
            command.paths << QDir::cleanPath(here.absoluteFilePath(argument));
            continue;
        }
        if (argument == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument == QStringLiteral("--help") || argument == QStringLiteral("-h")) {
            command.action = WindowCommand::Action::Help;
            return command;
        }
        if (argument == QStringLiteral("--version") || argument == QStringLiteral("-V")) {
            command.action = WindowCommand::Action::Version;
            return command;
        }
        const QString option = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
        const QString name = option.section(QLatin1Char('='), 0, 0);
        if (kToolkitFlags.contains(name) && !option.contains(QLatin1Char('='))) {
            command.toolkitOptions << argument;
            continue;
        }
        if (!kToolkitOptionsWithValue.contains(name))
            return usageError(QStringLiteral("unknown option '%1'").arg(argument));
        QString value;
        command.toolkitOptions << argument;
        if (option.contains(QLatin1Char('='))) {
            value = option.section(QLatin1Char('='), 1);
        } else {
            if (i + 1 >= arguments.size())
                return usageError(QStringLiteral("option '%1' needs a value").arg(argument));
            value = arguments[++i];
            command.toolkitOptions << value;
        }
        if (name == QStringLiteral("platform")) command.platform = value;
        if (name == QStringLiteral("display")) command.displayGiven = true;
    }
    return command;
}

QString windowHelpText() {
    return QStringLiteral(
        "Usage: quorrix [PATH...]\n"
        "Opens the window in which plan files are listed and imported into one new workbook.\n"
        "Each PATH is added to the list as a file or folder dropped on it is: a file as it is, a\n"
        "folder with every file in it and its subfolders.\n"
        "For imports without a window, see quorrix-batch --help.\n"
        "\n"
        "  -h, --help     print this help and exit\n"
        "  -V, --version  print the program's name and version and exit\n"
        "  --             every argument after it is a path");
}

bool displayReachable(const WindowCommand& command, const std::function<QByteArray(const char*)>& env) {
    const bool x = command.displayGiven || !env("DISPLAY").isEmpty();
    const QByteArray runtime = env("XDG_RUNTIME_DIR");
    const QByteArray socket = env("WAYLAND_DISPLAY");
    const bool wayland =
        !socket.isEmpty() || (!runtime.isEmpty() && QFileInfo::exists(QFile::decodeName(runtime + "/wayland-0")));
    QString platforms = command.platform.isEmpty() ? QString::fromLocal8Bit(env("QT_QPA_PLATFORM")) : command.platform;
    // The toolkit's own choice when none is made: X, or Wayland in a Wayland session.
    if (platforms.trimmed().isEmpty()) return x || wayland;
    for (const QString& entry : platforms.split(QLatin1Char(';'))) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0).trimmed().toLower();
        if (name == QStringLiteral("xcb")) {
            if (x) return true;
        } else if (name.startsWith(QStringLiteral("wayland"))) {
            if (wayland) return true;
        } else if (!name.isEmpty()) {
            return true;  // offscreen, vnc, eglfs, ...: no display server to reach
        }
    }
    return false;
}

QString noDisplayMessage() {
    return QStringLiteral("quorrix: no display was found; quorrix-batch imports plan files without a window.");
}

}  // namespace quorrix
