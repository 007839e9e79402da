#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <vector>

#include "app/command_line.h"
#include "app/form1.h"
#include "app/settings.h"
#include "gui/qt_dialogs.h"
#include "importer/backends.h"
#include "importer/workbook/presenters.h"
#include "platform/file_names.h"
#include "platform/install_folder.h"
#include "platform/open_file_limit.h"

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << quorrix::decodeFileName(QByteArray(argv[i]));  // bytes kept
    const quorrix::WindowCommand command = quorrix::parseWindowCommand(arguments, QDir::currentPath());
    switch (command.action) {
    case quorrix::WindowCommand::Action::Help:
        std::puts(qPrintable(quorrix::windowHelpText()));
        return 0;
    case quorrix::WindowCommand::Action::Version:
        std::puts("quorrix " QUORRIX_VERSION);
        return 0;
    case quorrix::WindowCommand::Action::UsageError:
        std::fprintf(stderr, "%s\n", qPrintable(command.error));
        return 2;
    case quorrix::WindowCommand::Action::Open:
        break;
    }
    // The toolkit would end the process with an abort and advice to reinstall it.
    if (!quorrix::displayReachable(command, [](const char* name) { return qgetenv(name); })) {
        std::fprintf(stderr, "%s\n", qPrintable(quorrix::noDisplayMessage()));
        return 1;
    }

    quorrix::raiseOpenFileLimit();
    // The toolkit sees its own options only: a path is never taken for one of them.
    std::vector<QByteArray> toolkitArguments{QByteArray(argv[0])};
    for (const QString& option : command.toolkitOptions) toolkitArguments.push_back(quorrix::encodeFileName(option));
    std::vector<char*> toolkitArgv;
    for (QByteArray& a : toolkitArguments) toolkitArgv.push_back(a.data());
    toolkitArgv.push_back(nullptr);
    int toolkitArgc = static_cast<int>(toolkitArguments.size());
    QApplication app(toolkitArgc, toolkitArgv.data());
    QApplication::setApplicationVersion(QStringLiteral(QUORRIX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.veltrano.Quorrix"));
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/com.veltrano.Quorrix-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    // Workbooks shown in earlier sessions have long been saved elsewhere or let go.
    quorrix::importer::workbook::DesktopPresenter::removeOldWorkbooks(
        quorrix::importer::workbook::DesktopPresenter::defaultFolder());

    quorrix::QtDialogProvider dialogs;
    quorrix::Settings settings;
    const auto spreadsheet = quorrix::importer::makeSpreadsheetAutomation(dialogs);
    const auto project = quorrix::importer::makeProjectAutomation();

    quorrix::Form1::Services services;
    services.dialogs = &dialogs;
    services.settings = &settings;
    services.spreadsheet = spreadsheet.get();
    services.project = project.get();
    services.planReading = project.get();
    services.installFolder = quorrix::auxiliaryFolder(QCoreApplication::applicationDirPath());

    quorrix::Form1 form(services);
    dialogs.setOwner(&form);
    form.Form_Load();
    form.show();
    // Paths from the command line (a file manager's "Open With") join the list as dropped ones do.
    if (!command.paths.isEmpty())
        QTimer::singleShot(0, &form, [&form, &command] { form.AddDroppedPaths(command.paths); });
    return QApplication::exec();
}
