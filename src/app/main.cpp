#include <QApplication>
#include <QStyleFactory>

#include "app/form1.h"
#include "app/settings.h"
#include "importer/backends.h"
#include "importer/workbook/presenters.h"
#include "platform/qt_dialogs.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
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
    services.installFolder = QCoreApplication::applicationDirPath();

    quorrix::Form1 form(services);
    dialogs.setOwner(&form);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
