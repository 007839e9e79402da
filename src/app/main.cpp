#include <QApplication>
#include <QIcon>
#include <QStyleFactory>
#include <cstdio>
#include <cstring>

#include "app/form1.h"
#include "app/settings.h"
#include "gui/qt_dialogs.h"
#include "importer/backends.h"
#include "importer/workbook/presenters.h"
#include "platform/install_folder.h"

int main(int argc, char* argv[]) {
    // The window takes no arguments; these two answer on the terminal without opening it.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("quorrix " QUORRIX_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("Usage: quorrix\n"
                      "Opens the window in which plan files are listed and imported into one new workbook.\n"
                      "For imports without a window, see quorrix-batch --help.\n"
                      "\n"
                      "  --help     print this help and exit\n"
                      "  --version  print the program's name and version and exit");
            return 0;
        }
    }
    QApplication app(argc, argv);
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
    return QApplication::exec();
}
