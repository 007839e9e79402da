#include <QApplication>
#include <QStyleFactory>

#include "app/form1.h"
#include "app/settings.h"
#include "importer/backends.h"
#include "platform/qt_dialogs.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    quorrix::QtDialogProvider dialogs;
    quorrix::Settings settings;
    const auto spreadsheet = quorrix::importer::makeSpreadsheetAutomation(dialogs);
    const auto project = quorrix::importer::makeProjectAutomation([&settings] { return settings.columns(); });

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
