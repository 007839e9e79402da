// The window program's command line: what it is asked, whether a display can be reached, and the
// program itself answering on the terminal. (Its paths go to the routine a drop uses, tested there.)
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

#include "app/command_line.h"

namespace quorrix {
namespace {

using Action = WindowCommand::Action;

TEST(WindowCommandLine, PathsOptionsAndTheToolkitsOwn) {
    struct Case {
        QStringList arguments;
        Action action;
        QStringList paths;
        QStringList toolkit;
        QString error;
    };
    const QString here = QStringLiteral("/home/ana/work");
    const std::vector<Case> cases = {
        {{}, Action::Open, {}, {}, {}},
        {{"a.mpp", "/plans/b.xml", "../old/./c.mpx", "sub/"}, Action::Open,
         {"/home/ana/work/a.mpp", "/plans/b.xml", "/home/ana/old/c.mpx", "/home/ana/work/sub"}, {}, {}},
        {{"--help"}, Action::Help, {}, {}, {}},
        {{"-V"}, Action::Version, {}, {}, {}},
        {{"--", "-h", "--x.mpp"}, Action::Open, {"/home/ana/work/-h", "/home/ana/work/--x.mpp"}, {}, {}},
        {{"-platform", "offscreen", "a.mpp", "--style=fusion", "-reverse"}, Action::Open, {"/home/ana/work/a.mpp"},
         {"-platform", "offscreen", "--style=fusion", "-reverse"}, {}},
        {{"--frobnicate"}, Action::UsageError, {}, {}, "quorrix: unknown option '--frobnicate' (see quorrix --help)"},
        {{"a.mpp", "-x"}, Action::UsageError, {}, {}, "quorrix: unknown option '-x' (see quorrix --help)"},
        {{"-style"}, Action::UsageError, {}, {}, "quorrix: option '-style' needs a value (see quorrix --help)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const WindowCommand command = parseWindowCommand(c.arguments, here);
        EXPECT_EQ(command.action, c.action);
        if (c.action != Action::Open) continue;
        EXPECT_EQ(command.paths, c.paths);
        EXPECT_EQ(command.toolkitOptions, c.toolkit);
    }
    for (const Case& c : cases) {
        if (c.action == Action::UsageError) {
            EXPECT_EQ(parseWindowCommand(c.arguments, here).error, c.error);
        }
    }
}

TEST(WindowCommandLine, ADisplayIsReachableWhereThePlatformFindsOne) {
    QTemporaryDir runtime;
    using Env = std::map<std::string, QByteArray>;
    struct Case {
        Env env;
        QStringList arguments;
        bool reachable;
    };
    const std::vector<Case> cases = {
        {{}, {}, false},
        {{{"DISPLAY", ":0"}}, {}, true},
        {{{"WAYLAND_DISPLAY", "wayland-1"}}, {}, true},
        {{{"QT_QPA_PLATFORM", "xcb"}}, {}, false},
        {{{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":1"}}, {}, true},
        {{{"QT_QPA_PLATFORM", "offscreen"}}, {}, true},
        {{{"QT_QPA_PLATFORM", "offscreen"}}, {"-platform", "xcb"}, false},
        {{}, {"-platform", "offscreen"}, true},
        {{{"QT_QPA_PLATFORM", "xcb"}}, {"-display", ":3"}, true},
        {{{"XDG_RUNTIME_DIR", runtime.path().toLocal8Bit()}}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString() + " with " + std::to_string(c.env.size()) + " variables");
        const WindowCommand command = parseWindowCommand(c.arguments, QStringLiteral("/"));
        const auto env = [&](const char* name) {
            const auto found = c.env.find(name);
            return found == c.env.end() ? QByteArray() : found->second;
        };
        EXPECT_EQ(displayReachable(command, env), c.reachable);
    }
}

// The program itself: one line on standard error and its status, no window and no abort.
TEST(WindowProgram, AnswersOnTheTerminalWithoutAWindow) {
    struct Case {
        QStringList arguments;
        QStringList unset;
        int status;
        QString error;
    };
    const QStringList noDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"};
    for (const Case& c : {Case{{"--bogus"}, {}, 2, "quorrix: unknown option '--bogus' (see quorrix --help)\n"},
                          Case{{}, noDisplay, 1,
                               "quorrix: no display was found; quorrix-batch imports plan files without a window.\n"}}) {
        SCOPED_TRACE(c.status);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& name : c.unset) env.remove(name);
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QUORRIX_WINDOW), c.arguments);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.status);
        EXPECT_EQ(QString::fromLocal8Bit(program.readAllStandardError()), c.error);
        EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
    }
}

}  // namespace
}  // namespace quorrix
