#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// The command line of the window program, read before the toolkit starts.
namespace quorrix {

struct WindowCommand {
    enum class Action { Open, Help, Version, UsageError };
    Action action = Action::Open;
    // Files and folders to add to the list at start-up, as full paths, in the order given.
    QStringList paths;
    // The toolkit's own options among the arguments (-platform NAME, -style NAME, ...), with their
    // values, for the toolkit to read.
    QStringList toolkitOptions;
    QString platform;  // the value of -platform, if given
    bool displayGiven = false;  // -display was given
    QString error;     // UsageError: the one-line reason
};

// Reads the arguments that follow the program's name; relative paths are taken from `currentFolder`.
// "--" ends the options: every argument after it is a path.
WindowCommand parseWindowCommand(const QStringList& arguments, const QString& currentFolder);

// What --help prints.
QString windowHelpText();

// Whether the window system the toolkit will use can be reached, judged from the command and the
// environment (read through `env`) the way the toolkit chooses its platform: X needs a display
// named, Wayland a compositor's socket; the platforms without a display server always can.
bool displayReachable(const WindowCommand& command, const std::function<QByteArray(const char* name)>& env);

// The one line said when no display can be reached.
QString noDisplayMessage();

}  // namespace quorrix
